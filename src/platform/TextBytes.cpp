#include "platform/TextBytes.h"

#include <QStringDecoder>

#include <array>
#include <cstdint>

namespace platform {

namespace {

// The code page as Qt's ICU decoder reads it, asked once. A Qt built without ICU knows no
// Windows-1252; its bytes are then read as Latin-1, which differs only from 80 to 9F.
const std::array<char16_t, 256>& Windows1252() {
    static const std::array<char16_t, 256> Table = [] {
        std::array<char16_t, 256> table{};
        QStringDecoder decoder("windows-1252", QStringDecoder::Flag::Stateless);
        for (std::size_t byte = 0; byte < table.size(); ++byte) {
            const char c = static_cast<char>(byte);
            const QString text = decoder.isValid() ? decoder(QByteArrayView(&c, 1)) : QString();
            table[byte] = text.size() == 1 ? text.front().unicode() : char16_t(byte);
        }
        return table;
    }();
    return Table;
}

char16_t Windows1252Char(char byte) {
    return Windows1252()[static_cast<unsigned char>(byte)];
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | (code >> 18));
        out += char(0x80 | ((code >> 12) & 0x3F));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

} // namespace

std::size_t ReadUtf8(std::string_view text, std::size_t pos, char32_t& code) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    std::size_t length = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        length = 2;
        code = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        code = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        code = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (pos + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byteAt(pos + i) & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (byteAt(pos + i) & 0x3F);
    }
    if (code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

bool IsUtf8(std::string_view bytes) {
    char32_t code = 0;
    for (std::size_t pos = 0; pos < bytes.size();) {
        const std::size_t length = ReadUtf8(bytes, pos, code);
        if (length == 0)
            return false;
        pos += length;
    }
    return true;
}

std::string Utf8FromBytes(std::string_view bytes) {
    if (IsUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes)
        AppendUtf8(out, Windows1252Char(c));
    return out;
}

std::string RepairedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    char32_t code = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        if (const std::size_t length = ReadUtf8(text, pos, code); length > 0) {
            out.append(text, pos, length);
            pos += length;
        } else {
            AppendUtf8(out, Windows1252Char(text[pos++]));
        }
    }
    return out;
}

std::string Utf8FromUtf16Le(std::string_view bytes) {
    std::string out;
    const auto unit = [&](std::size_t i) {
        return char16_t(std::uint8_t(bytes[i]) | (std::uint8_t(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        AppendUtf8(out, c);
    }
    return out;
}

} // namespace platform
