#include "settings/Scrambler.h"

#include <gtest/gtest.h>
#include <random>

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values)
        out += char(v);
    return out;
}

} // namespace

TEST(RotateByte, TurnsRightForPositiveAndLeftForNegativeAmounts) {
    EXPECT_EQ(RotateByte(0x01, 1), 0x80);
    EXPECT_EQ(RotateByte(0x80, -1), 0x01);
    EXPECT_EQ(RotateByte(0x12, 4), 0x21);
    // The remainder truncates toward zero: -9 turns left by one, 9 right by one.
    EXPECT_EQ(RotateByte(0x81, -9), 0x03);
    EXPECT_EQ(RotateByte(0x81, 9), 0xC0);
    EXPECT_EQ(RotateByte(0xA5, 16), 0xA5);
    EXPECT_EQ(RotateByte(0xA5, -8), 0xA5);
    for (int amount = -20; amount <= 20; ++amount) {
        EXPECT_EQ(RotateByte(0x00, amount), 0x00);
        EXPECT_EQ(RotateByte(0xFF, amount), 0xFF);
    }
}

TEST(ScrambleText, MatchesTheStoredFormByteForByte) {
    // Odd positions turn right and even ones left by (key byte + 850) mod 8: 4,1,5,3,1,1,6,7,0.
    EXPECT_EQ(ScrambleText("ABCDEFGHIJK"),
              Bytes({0x14, 0x84, 0x1a, 0x22, 0xa2, 0x8c, 0x1d, 0x24, 0x49, 0xa4, 0xa5}));
    EXPECT_EQ(ScrambleText("secret"), Bytes({0x37, 0xca, 0x1b, 0x93, 0xb2, 0xe8}));
    EXPECT_EQ(ScrambleText("p\xc3\xa4ssw\xc3\xb6rd"),
              Bytes({0x07, 0x87, 0x25, 0x9b, 0xb9, 0xee, 0x0f, 0x5b, 0x72, 0x46}));
}

TEST(ScrambleText, NinthKeyByteTurnsByAMultipleOfEightAndTheKeyRepeats) {
    const std::string plain = "123456789012345678";
    const std::string scrambled = ScrambleText(plain);
    EXPECT_EQ(scrambled[8], plain[8]);
    EXPECT_EQ(scrambled[17], plain[17]);
    EXPECT_EQ(UnscrambleText(plain)[8], plain[8]);
    // Position 10 uses the first key byte again (a turn by 4 is the same either way).
    EXPECT_EQ(scrambled[9], char(RotateByte(std::uint8_t(plain[9]), 4)));
}

TEST(ScrambleText, RoundTripsEveryLengthAndByteValue) {
    EXPECT_EQ(ScrambleText(""), "");
    EXPECT_EQ(UnscrambleText(""), "");
    std::mt19937 random(20261209);
    for (std::size_t length = 1; length <= 300; ++length) {
        std::string plain(length, '\0');
        for (auto& c : plain)
            c = char(random() & 0xFF);
        const std::string scrambled = ScrambleText(plain);
        ASSERT_EQ(scrambled.size(), length);
        ASSERT_EQ(UnscrambleText(scrambled), plain) << "length " << length;
        for (std::size_t i = 0; i < length; ++i)
            ASSERT_EQ(scrambled[i] == '\0', plain[i] == '\0');
    }
}

TEST(ScrambleText, UnscramblingTextThatWasNeverScrambledKeepsItsLength) {
    const std::string text = "plain text, never scrambled";
    EXPECT_EQ(UnscrambleText(text).size(), text.size());
    EXPECT_EQ(RotateText(text, "", TRotateDirection::Scrambling), text);
}
