#include "mail/HeaderText.h"

#include "mail/MailCheckRules.h"
#include "platform/ProgramModule.h"
#include "pop3/PrintableText.h"

#include <cstdint>
#include <exception>
#include <mutex>
#include <vector>

namespace {

using TDecodeText = bool (*)(const char* Raw, std::size_t Length, std::string* Out,
                             std::string* Error) noexcept;

const char* const ModuleName = "talvoro_headerdecode";

std::once_flag ModuleOnce;
TDecodeText DecodeText = nullptr;
std::string ModuleError; // written once inside ModuleOnce, read-only afterwards

// Loaded once per process; a module that cannot be loaded is not tried again, so that every
// header of every check does not search the disk for it.
TDecodeText Decoder() {
    std::call_once(ModuleOnce, [] {
        try {
            DecodeText =
                platform::ModuleFunction<TDecodeText>(ModuleName, "TalvoroHeaderDecodeText");
        } catch (const std::exception& E) {
            ModuleError = E.what();
        }
    });
    return DecodeText;
}

// Decodes one code point of valid UTF-8 at Pos (shortest form, no surrogates, at most
// U+10FFFF); returns its length, or 0 when the bytes there are not valid UTF-8.
std::size_t NextCodePoint(std::string_view Text, std::size_t Pos, char32_t& Code) {
    const auto Byte = [&](std::size_t I) { return static_cast<unsigned char>(Text[I]); };
    const unsigned char Lead = Byte(Pos);
    std::size_t Length = 0;
    char32_t Min = 0;
    if (Lead < 0x80) {
        Code = Lead;
        return 1;
    }
    if ((Lead & 0xE0) == 0xC0) {
        Length = 2;
        Code = Lead & 0x1F;
        Min = 0x80;
    } else if ((Lead & 0xF0) == 0xE0) {
        Length = 3;
        Code = Lead & 0x0F;
        Min = 0x800;
    } else if ((Lead & 0xF8) == 0xF0) {
        Length = 4;
        Code = Lead & 0x07;
        Min = 0x10000;
    } else {
        return 0;
    }
    if (Pos + Length > Text.size())
        return 0;
    for (std::size_t I = 1; I < Length; ++I) {
        if ((Byte(Pos + I) & 0xC0) != 0x80)
            return 0;
        Code = (Code << 6) | (Byte(Pos + I) & 0x3F);
    }
    if (Code < Min || Code > 0x10FFFF || (Code >= 0xD800 && Code <= 0xDFFF))
        return 0;
    return Length;
}

bool IsValidUtf8(std::string_view Text) {
    char32_t Code = 0;
    for (std::size_t Pos = 0; Pos < Text.size();) {
        const std::size_t Length = NextCodePoint(Text, Pos, Code);
        if (Length == 0)
            return false;
        Pos += Length;
    }
    return true;
}

void AppendUtf8(std::string& Out, char32_t Code) {
    if (Code < 0x80) {
        Out += char(Code);
    } else if (Code < 0x800) {
        Out += char(0xC0 | (Code >> 6));
        Out += char(0x80 | (Code & 0x3F));
    } else if (Code < 0x10000) {
        Out += char(0xE0 | (Code >> 12));
        Out += char(0x80 | ((Code >> 6) & 0x3F));
        Out += char(0x80 | (Code & 0x3F));
    } else {
        Out += char(0xF0 | (Code >> 18));
        Out += char(0x80 | ((Code >> 12) & 0x3F));
        Out += char(0x80 | ((Code >> 6) & 0x3F));
        Out += char(0x80 | (Code & 0x3F));
    }
}

// Windows-1252 at 0x80..0x9F; 0 where the code page defines no character.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Text that is mostly UTF-8: its valid sequences kept, each byte that is not part of one read as
// Windows-1252. GMime passes byte runs through that merely look like UTF-8 (such as F5 81 8A 8B)
// beside the text it has decoded; reading the whole result as Windows-1252 would garble the
// decoded text ("\u20AC" shown as "\u00E2\u201A\u00AC").
std::string RepairUtf8(std::string_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    char32_t Code = 0;
    for (std::size_t Pos = 0; Pos < Text.size();) {
        if (const std::size_t Length = NextCodePoint(Text, Pos, Code); Length > 0) {
            Out.append(Text, Pos, Length);
            Pos += Length;
            continue;
        }
        const auto Byte = static_cast<unsigned char>(Text[Pos++]);
        const char16_t High = Byte < 0xA0 ? Windows1252High[Byte - 0x80] : char16_t(Byte);
        AppendUtf8(Out, High != 0 ? High : ' ');
    }
    return Out;
}

std::string TrimBlanks(const std::string& Text) {
    const auto Begin = Text.find_first_not_of(' ');
    if (Begin == std::string::npos)
        return std::string();
    return Text.substr(Begin, Text.find_last_not_of(' ') - Begin + 1);
}

} // namespace

std::string Utf8FromBytes(std::string_view Bytes) {
    if (IsValidUtf8(Bytes))
        return std::string(Bytes);
    std::string Out;
    Out.reserve(Bytes.size() * 2);
    for (const char C : Bytes) {
        const auto Byte = static_cast<unsigned char>(C);
        if (Byte < 0x80)
            Out += C;
        else if (Byte < 0xA0)
            AppendUtf8(Out, Windows1252High[Byte - 0x80] != 0 ? Windows1252High[Byte - 0x80] : ' ');
        else
            AppendUtf8(Out, Byte);
    }
    return Out;
}

std::string DisplayText(std::string_view Utf8) {
    // Anything that is not valid UTF-8 is read as Windows-1252 first, so that the result always
    // is.
    const std::string Valid = Utf8FromBytes(Utf8);
    const std::string Printable = PrintableText(Valid);
    std::string Out;
    Out.reserve(Printable.size());
    char32_t Code = 0;
    for (std::size_t Pos = 0; Pos < Printable.size();) {
        std::size_t Length = NextCodePoint(Printable, Pos, Code);
        if (Length == 0) { // cannot happen: Printable is valid UTF-8
            Length = 1;
            Code = ' ';
        }
        const bool Blank = (Code >= 0x80 && Code <= 0x9F) || Code == 0x2028 || Code == 0x2029;
        if (Blank)
            Out += ' ';
        else
            Out.append(Printable, Pos, Length);
        Pos += Length;
    }
    return Out;
}

std::string ServerDisplayText(std::string_view Raw) {
    return DisplayText(Raw);
}

std::string HeaderDisplayText(std::string_view Raw) {
    if (Raw.size() >= MaxHeaderValueLength) {
        // Cut at the limit, here or where the value was stored: an encoded word broken off at
        // the end would only show as its raw beginning, so it is left out.
        Raw = Raw.substr(0, MaxHeaderValueLength);
        const auto LastWord = Raw.rfind("=?");
        if (LastWord != std::string_view::npos &&
            Raw.find("?=", LastWord + 2) == std::string_view::npos)
            Raw = Raw.substr(0, LastWord);
    }
    if (const TDecodeText Decode = Decoder()) {
        std::string Decoded;
        std::string Error;
        if (Decode(Raw.data(), Raw.size(), &Decoded, &Error))
            return DisplayText(RepairUtf8(Decoded));
    }
    return DisplayText(Raw);
}

std::string SenderDisplayText(std::string_view RawFrom) {
    if (RawFrom.size() > MaxHeaderValueLength)
        RawFrom = RawFrom.substr(0, MaxHeaderValueLength);
    return TrimBlanks(HeaderDisplayText(ExtractSender(std::string(RawFrom))));
}

std::string HeaderDecodeError() {
    Decoder();
    return ModuleError;
}
