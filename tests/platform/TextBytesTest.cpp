// Bytes of unknown code page as text: the UTF-8 rules, Windows-1252 where they fail, UTF-16LE.
#include "platform/TextBytes.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

TEST(TextBytes, Utf8IsValidOnlyInItsShortestForm) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"plain", true},
        {"\xC3\xBC \xE2\x82\xAC \xF0\x9F\x98\x80", true},
        {"\xF4\x8F\xBF\xBF", true},  // U+10FFFF
        {"\xC0\x80", false},         // overlong NUL
        {"\xE0\x80\xAF", false},     // overlong "/"
        {"\xED\xA0\x80", false},     // surrogate
        {"\xF4\x90\x80\x80", false}, // above U+10FFFF
        {"\xE2\x82", false},         // cut short
        {"\x80", false},             // continuation without lead
        {"\xFE", false},
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(platform::IsUtf8(bytes), valid) << testing::PrintToString(bytes);
}

TEST(TextBytes, OtherBytesReadAsWindows1252) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xC3\xBC", "\xC3\xBC"},           // UTF-8 stays
        {"\x80 \x9F \xE4 \xFF", "€ Ÿ ä ÿ"}, // the code page's own characters
        {"\x81\x8D\x8F\x90\x9D", "\u0081\u008D\u008F\u0090\u009D"}, // undefined: C1 controls
        {"\xC3\xBC\xE4", "Ã¼ä"}, // not UTF-8 as a whole: every byte as Windows-1252
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(platform::Utf8FromBytes(bytes), text) << testing::PrintToString(bytes);
    EXPECT_EQ(platform::RepairedUtf8("\xC3\xBC\xE4 \xF5\x81"), "üä õ\u0081")
        << "valid sequences kept, the rest by byte";
}

TEST(TextBytes, Utf16LeReplacesLoneSurrogates) {
    const std::pair<std::string, std::string> cases[] = {
        {"A\0\xFC\0"s, "Aü"},
        {"\x3D\xD8\x00\xDE"s, "\U0001F600"}, // a surrogate pair
        {"\x00\xD8"
         "A\0"s,
         "\uFFFDA"},             // high without low
        {"\x00\xDC"s, "\uFFFD"}, // low alone
        {"A\0B"s, "A"},          // odd byte
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(platform::Utf8FromUtf16Le(bytes), text) << testing::PrintToString(bytes);
}
