#include "imap/ImapText.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<char32_t> CodePoints(std::string_view utf8) {
    std::vector<char32_t> points;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        const int length = lead < 0x80           ? 1
                           : (lead >> 5) == 0x06 ? 2
                           : (lead >> 4) == 0x0E ? 3
                           : (lead >> 3) == 0x1E ? 4
                                                 : 0;
        char32_t point = length == 1 ? lead : length == 2 ? lead & 0x1F : lead & (0x7F >> length);
        bool valid = length > 0 && i + static_cast<std::size_t>(length) <= utf8.size();
        for (int k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + static_cast<std::size_t>(k)]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        constexpr char32_t Smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        valid = valid && point >= Smallest[length] && point <= 0x10FFFF &&
                (point < 0xD800 || point > 0xDFFF);
        if (!valid) {
            points.push_back(lead);
            ++i;
            continue;
        }
        points.push_back(point);
        i += static_cast<std::size_t>(length);
    }
    return points;
}

void AppendModifiedBase64(std::string& out, const std::vector<char32_t>& run) {
    std::string utf16;
    auto unit = [&utf16](char32_t u) {
        utf16 += static_cast<char>(u >> 8);
        utf16 += static_cast<char>(u & 0xFF);
    };
    for (const char32_t point : run) {
        if (point >= 0x10000) {
            unit(0xD800 + ((point - 0x10000) >> 10));
            unit(0xDC00 + ((point - 0x10000) & 0x3FF));
        } else {
            unit(point);
        }
    }
    std::string encoded = Base64Encode(utf16);
    while (!encoded.empty() && encoded.back() == '=') {
        encoded.pop_back();
    }
    for (char& c : encoded) {
        if (c == '/') {
            c = ',';
        }
    }
    out += '&';
    out += encoded;
    out += '-';
}

} // namespace

std::string EncodeMailboxName(std::string_view utf8) {
    std::string out;
    std::vector<char32_t> run;
    for (const char32_t point : CodePoints(utf8)) {
        if (point >= 0x20 && point <= 0x7E) {
            if (!run.empty()) {
                AppendModifiedBase64(out, run);
                run.clear();
            }
            out += point == '&' ? std::string("&-") : std::string(1, static_cast<char>(point));
        } else {
            run.push_back(point);
        }
    }
    if (!run.empty()) {
        AppendModifiedBase64(out, run);
    }
    return out;
}

std::optional<std::string> ImapQuoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u == 0 || u >= 0x80 || c == '\r' || c == '\n') {
            return std::nullopt;
        }
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

std::string Base64Encode(std::string_view bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        std::uint32_t group = static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i]))
                              << 16;
        const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
        if (count > 1) {
            group |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
        }
        if (count > 2) {
            group |= static_cast<unsigned char>(bytes[i + 2]);
        }
        out += Alphabet[(group >> 18) & 0x3F];
        out += Alphabet[(group >> 12) & 0x3F];
        out += count > 1 ? Alphabet[(group >> 6) & 0x3F] : '=';
        out += count > 2 ? Alphabet[group & 0x3F] : '=';
    }
    return out;
}
