#pragma once
// Bytes that may be UTF-8, else Windows-1252, and back: the one place that reads text whose code
// page nobody wrote down (stored settings, mail headers, server replies, the hive file) and
// writes text as UTF-8.
//
// UTF-8 is valid when every sequence is in its shortest form, no surrogate (U+D800..U+DFFF) and
// nothing above U+10FFFF. Windows-1252 is the code page of the 8-bit programs that wrote such
// text, as Qt's ICU decoder reads it: its five unassigned bytes (81 8D 8F 90 9D) give the C1
// control characters of the same value, so that every byte stands for a character of its own.
// Nothing here throws except std::bad_alloc; safe to call from any thread.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The code point of the valid UTF-8 sequence at pos, and its length in bytes; 0 (code then
// undefined) when the bytes there start no valid sequence.
std::size_t ReadUtf8(std::string_view text, std::size_t pos, char32_t& code);

bool IsUtf8(std::string_view bytes);

// The bytes as UTF-8 text: unchanged when they are valid UTF-8, otherwise each byte read as
// Windows-1252.
std::string Utf8FromBytes(std::string_view bytes);

// Text that is mostly UTF-8: its valid sequences kept, each byte that is not part of one read
// as Windows-1252.
std::string RepairedUtf8(std::string_view text);

// UTF-16LE (how Windows keeps its strings) as UTF-8: a surrogate without its partner gives
// U+FFFD, a last odd byte is dropped.
std::string Utf8FromUtf16Le(std::string_view bytes);

} // namespace platform
