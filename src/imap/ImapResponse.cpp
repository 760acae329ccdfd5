#include "imap/ImapResponse.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "imap/ImapExceptions.h"

namespace {

constexpr std::string_view LineEnd = "\r\n";

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) ==
                      std::toupper(static_cast<unsigned char>(y));
           });
}

std::string Upper(std::string_view text) {
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

// Atoms take every byte but controls, blanks and the characters that start or end something
// else; "*", "%" and "\" stay in (flags such as "\*").
bool IsAtomChar(char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u != 0x7F && c != '(' && c != ')' && c != '{' && c != '"' && c != '[' &&
           c != ']';
}

[[noreturn]] void Malformed(const std::string& what) {
    throw EImapProtocolError("The server sent a reply that is not IMAP (" + what +
                             "); the connection was closed.");
}

[[noreturn]] void TooLarge(const std::string& what) {
    throw EWinshoeLineTooLong("The server sent a reply with " + what +
                              "; the connection was closed.");
}

// Digits to a number that saturates instead of wrapping; nothing for no digits.
std::optional<std::uint64_t> ReadDigits(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    constexpr std::uint64_t Largest = std::numeric_limits<std::uint64_t>::max();
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::uint64_t>(c - '0');
        value = value > (Largest - digit) / 10 ? Largest : value * 10 + digit;
    }
    return value;
}

class TParser {
public:
    TParser(std::string_view bytes, const TImapLimits& limits) : FBytes(bytes), FLimits(limits) {}

    TImapResponse Parse() {
        TImapResponse response;
        if (FBytes.empty()) {
            Malformed("an empty line");
        }
        if (FBytes[0] == '+') {
            response.Kind = TImapResponse::TKind::Continuation;
            FAt = 1;
            SkipBlanks();
            response.Text = std::string(Rest());
            return response;
        }
        if (FBytes[0] == '*') {
            FAt = 1;
        } else {
            response.Kind = TImapResponse::TKind::Tagged;
            response.Tag = std::string(ReadAtomChars());
            if (response.Tag.empty()) {
                Malformed("no tag");
            }
        }
        if (!SkipBlanks()) {
            Malformed("no blank after the tag");
        }
        const std::size_t wordStart = FAt;
        const std::string word = Upper(ReadAtomChars());
        const bool status =
            word == "OK" || word == "NO" || word == "BAD" || word == "BYE" || word == "PREAUTH";
        if (response.Kind == TImapResponse::TKind::Tagged && word != "OK" && word != "NO" &&
            word != "BAD") {
            Malformed("a tagged reply without OK, NO or BAD");
        }
        if (!status) {
            FAt = wordStart;
            response.Data = ReadValues(0, false);
            return response;
        }
        response.Status = word;
        SkipBlanks();
        if (FAt < FBytes.size() && FBytes[FAt] == '[') {
            ReadCode(response);
            SkipBlanks();
        }
        response.Text = std::string(Rest());
        return response;
    }

private:
    std::string_view Rest() const { return FBytes.substr(std::min(FAt, FBytes.size())); }

    bool SkipBlanks() {
        const std::size_t start = FAt;
        while (FAt < FBytes.size() && FBytes[FAt] == ' ') {
            ++FAt;
        }
        return FAt > start;
    }

    std::string_view ReadAtomChars() {
        const std::size_t start = FAt;
        while (FAt < FBytes.size() && IsAtomChar(FBytes[FAt])) {
            ++FAt;
        }
        return FBytes.substr(start, FAt - start);
    }

    void CountValue() {
        if (++FValues > FLimits.MaxValues) {
            TooLarge("more than " + std::to_string(FLimits.MaxValues) + " items");
        }
    }

    // "[CODE arguments]". Arguments that do not read as values are kept as one atom of text.
    void ReadCode(TImapResponse& response) {
        const std::size_t close = FBytes.find(']', FAt);
        if (close == std::string_view::npos) {
            Malformed("a response code without its closing bracket");
        }
        ++FAt;
        response.Code = Upper(ReadAtomChars());
        SkipBlanks();
        const std::string_view arguments = FBytes.substr(FAt, close - FAt);
        FAt = close + 1;
        if (arguments.empty()) {
            return;
        }
        try {
            TParser inner(arguments, FLimits);
            inner.FValues = FValues;
            response.CodeArguments = inner.ReadValues(0, false);
            FValues = inner.FValues;
        } catch (const EImapProtocolError&) {
            CountValue();
            response.CodeArguments = {
                TImapValue{TImapValue::TKind::Atom, std::string(arguments), {}}};
        }
    }

    // Values up to the end (top level) or up to the closing parenthesis of a list.
    std::vector<TImapValue> ReadValues(int depth, bool inList) {
        std::vector<TImapValue> values;
        for (;;) {
            SkipBlanks();
            if (FAt >= FBytes.size()) {
                if (inList) {
                    Malformed("a list without its closing parenthesis");
                }
                return values;
            }
            if (FBytes[FAt] == ')') {
                if (!inList) {
                    Malformed("a closing parenthesis without a list");
                }
                ++FAt;
                return values;
            }
            values.push_back(ReadValue(depth));
        }
    }

    TImapValue ReadValue(int depth) {
        CountValue();
        TImapValue value;
        const char c = FBytes[FAt];
        if (c == '(') {
            if (depth + 1 > FLimits.MaxDepth) {
                TooLarge("lists nested more than " + std::to_string(FLimits.MaxDepth) + " deep");
            }
            ++FAt;
            value.Kind = TImapValue::TKind::List;
            value.Items = ReadValues(depth + 1, true);
            return value;
        }
        if (c == '"') {
            value.Kind = TImapValue::TKind::String;
            value.Text = ReadQuoted();
            return value;
        }
        if (c == '{') {
            value.Kind = TImapValue::TKind::String;
            value.Text = ReadLiteral();
            return value;
        }
        const std::string_view atom = ReadAtomChars();
        if (atom.empty() && (FAt >= FBytes.size() || FBytes[FAt] != '[')) {
            Malformed("an unexpected character");
        }
        value.Text = atom;
        // A section ("BODY[HEADER.FIELDS (FROM)]") and a partial origin ("<0>") belong to it.
        if (FAt < FBytes.size() && FBytes[FAt] == '[') {
            const std::size_t close = FBytes.find(']', FAt);
            if (close == std::string_view::npos) {
                Malformed("a section without its closing bracket");
            }
            value.Text += FBytes.substr(FAt, close + 1 - FAt);
            FAt = close + 1;
            if (FAt < FBytes.size() && FBytes[FAt] == '<') {
                const std::size_t end = FBytes.find('>', FAt);
                if (end == std::string_view::npos) {
                    Malformed("a partial fetch without its closing bracket");
                }
                value.Text += FBytes.substr(FAt, end + 1 - FAt);
                FAt = end + 1;
            }
        }
        return value;
    }

    std::string ReadQuoted() {
        std::string text;
        for (++FAt; FAt < FBytes.size(); ++FAt) {
            char c = FBytes[FAt];
            if (c == '"') {
                ++FAt;
                return text;
            }
            if (c == '\r' || c == '\n' || c == '\0') {
                break;
            }
            if (c == '\\') {
                if (++FAt >= FBytes.size()) {
                    break;
                }
                c = FBytes[FAt];
            }
            text += c;
        }
        Malformed("a quoted string without its closing quote");
    }

    std::string ReadLiteral() {
        const std::size_t close = FBytes.find('}', FAt);
        if (close == std::string_view::npos) {
            Malformed("a literal without its size");
        }
        std::string_view digits = FBytes.substr(FAt + 1, close - FAt - 1);
        if (digits.ends_with('+')) {
            digits.remove_suffix(1);
        }
        const std::optional<std::uint64_t> size = ReadDigits(digits);
        if (!size) {
            Malformed("a literal without its size");
        }
        FAt = close + 1;
        if (FBytes.substr(FAt, LineEnd.size()) != LineEnd) {
            Malformed("a literal's size not at the end of a line");
        }
        FAt += LineEnd.size();
        if (*size > FLimits.MaxLength) {
            TooLarge("a literal of more than " + std::to_string(FLimits.MaxLength) + " bytes");
        }
        if (*size > FBytes.size() - FAt) {
            Malformed("a literal shorter than announced");
        }
        std::string text(FBytes.substr(FAt, static_cast<std::size_t>(*size)));
        FAt += static_cast<std::size_t>(*size);
        return text;
    }

    std::string_view FBytes;
    const TImapLimits& FLimits;
    std::size_t FAt = 0;
    std::size_t FValues = 0;
};

} // namespace

bool TImapValue::IsAtom(std::string_view name) const {
    return Kind == TKind::Atom && EqualIgnoringCase(Text, name);
}

std::optional<std::uint32_t> TImapValue::Number() const {
    if (Kind != TKind::Atom || Text.size() > 10) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> value = ReadDigits(Text);
    if (!value || *value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(*value);
}

bool TImapResponse::IsData(std::string_view name) const {
    if (Kind != TKind::Untagged || !Status.empty() || Data.empty()) {
        return false;
    }
    if (Data[0].IsAtom(name)) {
        return true;
    }
    return Data.size() >= 2 && Data[0].Number() && Data[1].IsAtom(name);
}

std::optional<std::uint32_t> TImapResponse::Count() const {
    if (Kind != TKind::Untagged || !Status.empty() || Data.size() < 2) {
        return std::nullopt;
    }
    return Data[0].Number();
}

std::optional<std::uint64_t> LiteralAtLineEnd(std::string_view line) {
    if (!line.ends_with('}')) {
        return std::nullopt;
    }
    const std::size_t open = line.rfind('{');
    if (open == std::string_view::npos) {
        return std::nullopt;
    }
    std::string_view digits = line.substr(open + 1, line.size() - open - 2);
    if (digits.ends_with('+')) {
        digits.remove_suffix(1);
    }
    return ReadDigits(digits);
}

bool TImapResponseReader::AddLine(std::string_view line) {
    if (++FLines > FLimits.MaxLines) {
        TooLarge("more than " + std::to_string(FLimits.MaxLines) + " lines");
    }
    const std::size_t segment = line.size() + LineEnd.size();
    if (segment > FLimits.MaxLength - std::min(FBytes.size(), FLimits.MaxLength)) {
        TooLarge("more than " + std::to_string(FLimits.MaxLength) + " bytes");
    }
    std::size_t textStart = 0;
    if (FLiteralLeft > 0) {
        if (FLiteralLeft >= segment) {
            FLiteralLeft -= segment;
            FBytes.append(line).append(LineEnd);
            return false;
        }
        textStart = static_cast<std::size_t>(FLiteralLeft);
        FLiteralLeft = 0;
        if (textStart > line.size()) {
            // The literal ended on the CR: what follows its LF goes on in the next line.
            FBytes.append(line).append(LineEnd);
            return false;
        }
    }
    FBytes.append(line).append(LineEnd);
    if (const std::optional<std::uint64_t> literal = LiteralAtLineEnd(line.substr(textStart))) {
        // Counted when announced, before a byte of it is read.
        if (*literal > FLimits.MaxLength - FBytes.size()) {
            TooLarge("a literal of more than " + std::to_string(FLimits.MaxLength) + " bytes");
        }
        FLiteralLeft = *literal;
        return false;
    }
    return true;
}

void TImapResponseReader::Clear() {
    FBytes.clear();
    FLines = 0;
    FLiteralLeft = 0;
}

TImapResponse ParseImapResponse(std::string_view bytes, const TImapLimits& limits) {
    if (bytes.size() > limits.MaxLength) {
        TooLarge("more than " + std::to_string(limits.MaxLength) + " bytes");
    }
    if (bytes.ends_with(LineEnd)) {
        bytes.remove_suffix(LineEnd.size());
    }
    return TParser(bytes, limits).Parse();
}
