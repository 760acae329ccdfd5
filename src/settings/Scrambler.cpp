#include "settings/Scrambler.h"

namespace {
const std::string ScrambleKey = "zokaWWDu6";
}

std::uint8_t RotateByte(std::uint8_t value, int amount) {
    const int r = amount % 8; // truncates toward zero: r carries the sign of amount
    const unsigned bits =
        r >= 0 ? unsigned(r) : unsigned(8 + r); // a left turn by n is a right one by 8-n
    if (bits == 0)
        return value;
    return std::uint8_t((value >> bits) | (value << (8 - bits)));
}

std::string RotateText(const std::string& text, const std::string& key,
                       TRotateDirection direction) {
    if (key.empty())
        return text;
    int sum = 0;
    for (char k : key)
        sum += std::uint8_t(k);
    const int sign = direction == TRotateDirection::Scrambling ? -1 : 1;

    std::string result = text;
    for (std::size_t i = 0; i < result.size(); ++i) {
        const int k = std::uint8_t(key[i % key.size()]);
        const bool oddPosition = i % 2 == 0; // positions count from 1
        const int amount = (oddPosition ? -sign : sign) * (k + sum);
        result[i] = char(RotateByte(std::uint8_t(result[i]), amount));
    }
    return result;
}

std::string ScrambleText(const std::string& text) {
    return RotateText(text, ScrambleKey, TRotateDirection::Scrambling);
}

std::string UnscrambleText(const std::string& text) {
    return RotateText(text, ScrambleKey, TRotateDirection::Unscrambling);
}
