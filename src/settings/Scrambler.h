#pragma once

// The reversible scrambling of the stored POP3 password: each byte is rotated within its 8 bits
// by an amount taken from the fixed key "zokaWWDu6" (this is not encryption: the key undoes it).
// The password is scrambled as its UTF-8 bytes. The scrambled text has the same length, may hold
// any byte value, and holds a zero byte only where the plain text did. Nothing here throws.

#include <cstdint>
#include <string>

enum class TRotateDirection { Scrambling, Unscrambling };

// Rotates Value right by (Amount rem 8) bits, or left when that remainder is negative.
std::uint8_t RotateByte(std::uint8_t value, int amount);

// Rotates each byte by the key byte at the same position (the key repeats) plus the sum of all
// key bytes; odd positions (counted from 1) one way, even positions the other way. An empty key
// leaves the text as it is.
std::string RotateText(const std::string& text, const std::string& key, TRotateDirection direction);

std::string ScrambleText(const std::string& text);
std::string UnscrambleText(const std::string& text);
