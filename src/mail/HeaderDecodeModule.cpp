// The program module "talvoro_headerdecode": header text as people wrote it, decoded by GMime.
// GMime brings GLib, GIO and more with it, so it lives in a module of its own that the program
// loads when the first header is decoded (see HeaderText.h for the caller's side).
//
// Entry point: TalvoroHeaderDecodeText. No exception leaves the module; every failure becomes
// a false result with the reason in *Error.
#include <gmime/gmime.h>

#include <cstddef>
#include <exception>
#include <mutex>
#include <string>

namespace {

GMimeParserOptions* Options() {
    static GMimeParserOptions* TheOptions = nullptr;
    static std::once_flag Once;
    std::call_once(Once, [] {
        g_mime_init();
        TheOptions = g_mime_parser_options_new();
        // Raw 8-bit header bytes: UTF-8 when they are valid UTF-8, else Windows-1252, the
        // superset of Latin-1 that 8-bit mail programs actually write.
        const char* Fallback[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(TheOptions, Fallback);
    });
    return TheOptions;
}

bool IsBase64Char(char C) {
    return (C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '+' ||
           C == '/' || C == '=';
}

bool IsTokenChar(char C) {
    // The charset token of an encoded word (with an optional RFC 2231 language after "*").
    return C > ' ' && C < 0x7F && C != '?' && C != '=' && C != '"' && C != '(' && C != ')';
}

// GMime joins adjacent B-encoded words of one charset by concatenating their base64 text
// before decoding it, so everything after the first word that ends in "=" padding is lost
// ("=?UTF-8?B?SGVsbG8=?= =?UTF-8?B?V29ybGQ=?=" gives "Hello"). Mail programs split long
// subjects exactly like that. Every well-formed B word is therefore rewritten as the same
// bytes in Q form, which GMime joins correctly (also when a character is split between two
// words). Words that are not well-formed are left alone, and GMime leaves them as they are.
std::string QuoteBase64Words(const std::string& Text) {
    std::string Result;
    Result.reserve(Text.size() * 2);
    std::size_t Pos = 0;
    while (Pos < Text.size()) {
        const std::size_t Start = Text.find("=?", Pos);
        if (Start == std::string::npos)
            break;
        std::size_t Charset = Start + 2;
        std::size_t I = Charset;
        while (I < Text.size() && IsTokenChar(Text[I]))
            ++I;
        const bool Shape = I > Charset && I + 3 < Text.size() && Text[I] == '?' &&
                           (Text[I + 1] == 'B' || Text[I + 1] == 'b') && Text[I + 2] == '?';
        if (!Shape) {
            Result.append(Text, Pos, Start + 2 - Pos);
            Pos = Start + 2;
            continue;
        }
        // The payload runs up to "?="; a "=" inside it may only be padding at its end.
        const std::size_t Payload = I + 3;
        const std::size_t Close = Text.find("?=", Payload);
        const std::string Encoded =
            Close == std::string::npos ? std::string() : Text.substr(Payload, Close - Payload);
        bool Valid = !Encoded.empty() && Encoded.size() % 4 == 0;
        for (std::size_t K = 0; Valid && K < Encoded.size(); ++K) {
            const char C = Encoded[K];
            const bool MisplacedPad = C == '=' && (K + 2 < Encoded.size() || Encoded.back() != '=');
            if (!IsBase64Char(C) || MisplacedPad)
                Valid = false;
        }
        if (!Valid) {
            Result.append(Text, Pos, Start + 2 - Pos);
            Pos = Start + 2;
            continue;
        }
        gsize Length = 0;
        guchar* Bytes = g_base64_decode(Encoded.c_str(), &Length);
        Result.append(Text, Pos, Start - Pos);
        Result += "=?";
        Result.append(Text, Charset, I - Charset);
        Result += "?Q?";
        static const char Hex[] = "0123456789ABCDEF";
        for (gsize K = 0; K < Length; ++K) {
            Result += '=';
            Result += Hex[Bytes[K] >> 4];
            Result += Hex[Bytes[K] & 0x0F];
        }
        Result += "?=";
        g_free(Bytes);
        Pos = Close + 2;
    }
    Result.append(Text, Pos, std::string::npos);
    return Result;
}

} // namespace

// Decodes an unstructured header text (a subject, a display name): RFC 2047 encoded words in
// any charset GMime knows, adjacent words joined, malformed words left as they are, raw 8-bit
// bytes read as UTF-8, else Windows-1252. Raw holds Length bytes; a NUL byte among them counts
// as a blank. On success *Out is UTF-8 and the result is true.
extern "C" __attribute__((visibility("default"))) bool
TalvoroHeaderDecodeText(const char* Raw, std::size_t Length, std::string* Out,
                        std::string* Error) noexcept {
    try {
        std::string Text(Raw, Length);
        for (char& C : Text)
            if (C == '\0')
                C = ' ';
        const std::string Prepared = QuoteBase64Words(Text);
        char* Decoded = g_mime_utils_header_decode_text(Options(), Prepared.c_str());
        if (Decoded == nullptr) {
            *Error = "The header text could not be decoded";
            return false;
        }
        *Out = Decoded;
        g_free(Decoded);
        return true;
    } catch (const std::exception& E) {
        try {
            *Error = E.what();
        } catch (...) {
        }
        return false;
    } catch (...) {
        return false;
    }
}
