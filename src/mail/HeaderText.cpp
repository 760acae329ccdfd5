#include "mail/HeaderText.h"

#include "platform/ProgramModule.h"
#include "platform/TextBytes.h"
#include "pop3/PrintableText.h"

#include <algorithm>
#include <exception>
#include <mutex>

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

// The "<" that opens the address: the first one outside a quoted display name, so that
// "Smith, John <CEO>" <js@example.org> keeps its whole name. Inside quotes a backslash
// escapes the next character; an unclosed quote leaves no "<" outside it.
std::string::size_type AddressOpen(const std::string& From) {
    bool Quoted = false;
    for (std::string::size_type I = 0; I < From.size(); ++I) {
        const char C = From[I];
        if (Quoted && C == '\\')
            ++I;
        else if (C == '"')
            Quoted = !Quoted;
        else if (!Quoted && C == '<')
            return I;
    }
    return std::string::npos;
}

// Raw 8-bit text as UTF-8 a word at a time, the words ending where the decoding module ends them:
// a word that is valid UTF-8 stays, any other is read as Windows-1252 (platform/TextBytes.h, the
// reading the settings use too). Encoded words are ASCII and pass unchanged.
std::string Utf8Words(std::string_view Raw) {
    if (platform::IsUtf8(Raw))
        return std::string(Raw);
    static constexpr std::string_view WordEnds(" \t\r\n\0", 5);
    std::string Out;
    Out.reserve(Raw.size() * 2);
    for (std::size_t Pos = 0; Pos < Raw.size(); ++Pos) {
        const std::size_t End = std::min(Raw.find_first_of(WordEnds, Pos), Raw.size());
        Out += platform::Utf8FromBytes(Raw.substr(Pos, End - Pos));
        Pos = End;
        if (End < Raw.size())
            Out += Raw[End];
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

std::string DisplayText(std::string_view Utf8) {
    // Anything that is not valid UTF-8 is read as Windows-1252 first, so that the result always
    // is; the bytes that code page leaves undefined become C1 controls, blanked below.
    const std::string Valid = platform::Utf8FromBytes(Utf8);
    const std::string Printable = PrintableText(Valid);
    std::string Out;
    Out.reserve(Printable.size());
    char32_t Code = 0;
    for (std::size_t Pos = 0; Pos < Printable.size();) {
        std::size_t Length = platform::ReadUtf8(Printable, Pos, Code);
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
        const std::string Words = Utf8Words(Raw);
        std::string Decoded;
        std::string Error;
        // GMime passes byte runs through that merely look like UTF-8 (such as F5 81 8A 8B)
        // beside the text it has decoded; reading the whole result as Windows-1252 would garble
        // the decoded text ("\u20AC" shown as "\u00E2\u201A\u00AC").
        if (Decode(Words.data(), Words.size(), &Decoded, &Error))
            return DisplayText(platform::RepairedUtf8(Decoded));
    }
    return DisplayText(Raw);
}

std::string ExtractSender(const std::string& From) {
    const auto Open = AddressOpen(From);
    const std::string Sender = TrimBlanks(From.substr(0, Open));
    if (!Sender.empty() || Open == std::string::npos)
        return Sender;
    // Only an address in angle brackets: the address is all there is to say about the sender.
    const auto Close = From.find('>', Open + 1);
    return TrimBlanks(
        From.substr(Open + 1, Close == std::string::npos ? std::string::npos : Close - Open - 1));
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
