#include "platform/registry/RegDocument.h"

#include "platform/TextBytes.h"

#include <algorithm>
#include <cstdio>
#include <tuple>
#include <utility>

namespace {

constexpr std::string_view Version5Header = "Windows Registry Editor Version 5.00";
constexpr std::string_view Version4Header = "REGEDIT4";
constexpr std::string_view OwnHiveName = "HKEY_CURRENT_USER";

char FoldCase(char c) {
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldCase(x) == FoldCase(y);
           });
}

bool IsSameOrBelow(std::string_view path, std::string_view key) {
    if (key.empty())
        return true;
    if (path.size() < key.size() || !EqualsNoCase(path.substr(0, key.size()), key))
        return false;
    return path.size() == key.size() || path[key.size()] == '\\';
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = FoldCase(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Windows stores strings as UTF-16 with a terminating zero; an export shows them so in hex(1)/(2).
std::string StringFromHexData(const std::string& data) {
    if (data.size() % 2 != 0)
        return std::string(data.c_str());
    std::string text = platform::Utf8FromUtf16Le(data);
    if (auto end = text.find('\0'); end != std::string::npos)
        text.resize(end);
    return text;
}

[[noreturn]] void Fail(std::size_t lineNo, const std::string& what) {
    throw ERegParseError("line " + std::to_string(lineNo) + ": " + what);
}

// Reads a quoted text starting at s[0] == '"'; returns the text and leaves s after the quote.
std::string ReadQuoted(std::string_view& s, std::size_t lineNo) {
    std::string out;
    std::size_t i = 1;
    while (true) {
        if (i >= s.size())
            Fail(lineNo, "missing closing quote");
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\' && i + 1 < s.size()) {
            char next = s[i + 1];
            if (next == '\\' || next == '"') {
                out += next;
                i += 2;
                continue;
            }
            if (next == 'x' && i + 3 < s.size() && HexDigit(s[i + 2]) >= 0 &&
                HexDigit(s[i + 3]) >= 0) {
                out += char(HexDigit(s[i + 2]) * 16 + HexDigit(s[i + 3]));
                i += 4;
                continue;
            }
        }
        out += c;
        ++i;
    }
}

// A comma-separated list of bytes, each one or two hex digits.
std::string ParseHexList(std::string_view s, std::size_t lineNo) {
    std::string out;
    s = TrimLeft(TrimRight(s));
    if (s.empty())
        return out;
    while (true) {
        s = TrimLeft(s);
        std::size_t digits = 0;
        unsigned byte = 0;
        while (digits < s.size() && HexDigit(s[digits]) >= 0) {
            if (++digits > 2)
                Fail(lineNo, "malformed hex data");
            byte = byte * 16 + unsigned(HexDigit(s[digits - 1]));
        }
        if (digits == 0)
            Fail(lineNo, "malformed hex data");
        out += char(byte);
        s = TrimLeft(s.substr(digits));
        if (s.empty())
            return out;
        if (s.front() != ',')
            Fail(lineNo, "malformed hex data");
        s.remove_prefix(1);
    }
}

// Up to eight hex digits; more is out of range for the 32 bits they stand for.
bool ParseHex32(std::string_view digits, std::uint32_t& value) {
    if (digits.empty() || digits.size() > 8)
        return false;
    value = 0;
    for (char c : digits) {
        if (HexDigit(c) < 0)
            return false;
        value = value * 16 + std::uint32_t(HexDigit(c));
    }
    return true;
}

bool IsBlank(std::string_view line) {
    return TrimLeft(TrimRight(line)).empty();
}

std::string_view LastPhysicalLine(std::string_view raw) {
    auto end = raw.rfind('\n');
    return end == std::string_view::npos ? raw : raw.substr(end + 1);
}

// The name of a value line, and the text after its "=" (left-trimmed).
struct TValueHead {
    std::string Name;
    std::string_view Data;
};

TValueHead ReadValueHead(std::string_view trimmed, std::size_t lineNo) {
    TValueHead head;
    std::string_view s = trimmed;
    if (s.front() == '@')
        s.remove_prefix(1);
    else
        head.Name = ReadQuoted(s, lineNo);
    s = TrimLeft(s);
    if (s.empty() || s.front() != '=')
        Fail(lineNo, "missing '='");
    head.Data = TrimLeft(s.substr(1));
    return head;
}

bool ContinuesOnNextLine(std::string_view physicalLine) {
    std::string_view end = TrimRight(physicalLine);
    return !end.empty() && end.back() == '\\';
}

std::uint32_t NameKeyOf(std::string_view name) {
    std::uint32_t hash = 2166136261u;
    for (char c : name)
        hash = (hash ^ std::uint8_t(FoldCase(c))) * 16777619u;
    return hash;
}

struct TParsedValue {
    std::string Name;
    bool IsDeletion = false;
    TRegValue Value;
};

// A value line as the file holds it: the first physical line and, for hex data, its continuation
// lines after "\n".
TParsedValue ParseValueLine(std::string_view raw, std::size_t lineNo) {
    std::string_view first = raw.substr(0, raw.find('\n'));
    TValueHead head = ReadValueHead(TrimLeft(TrimRight(first)), lineNo);
    TParsedValue parsed;
    parsed.Name = std::move(head.Name);
    std::string_view s = TrimRight(head.Data);

    if (!s.empty() && s.front() == '"') {
        parsed.Value.Type = RegSz;
        parsed.Value.Data = ReadQuoted(s, lineNo);
        if (!TrimLeft(s).empty())
            Fail(lineNo, "text after the closing quote");
    } else if (s == "-") {
        parsed.IsDeletion = true;
    } else if (s.substr(0, 6) == "dword:") {
        std::uint32_t v = 0;
        if (!ParseHex32(s.substr(6), v))
            Fail(lineNo, "malformed dword");
        parsed.Value.Type = RegDword;
        for (int b = 0; b < 4; ++b)
            parsed.Value.Data += char((v >> (8 * b)) & 0xFF);
    } else if (s.substr(0, 3) == "hex") {
        s.remove_prefix(3);
        std::uint32_t type = RegBinary;
        if (!s.empty() && s.front() == '(') {
            auto close = s.find(')');
            if (close == std::string_view::npos || !ParseHex32(s.substr(1, close - 1), type))
                Fail(lineNo, "malformed value type");
            s.remove_prefix(close + 1);
        }
        if (s.empty() || s.front() != ':')
            Fail(lineNo, "malformed hex value");
        s.remove_prefix(1);
        // A "\" at the end of a line joins the next one to the data.
        std::string list(s);
        std::string_view rest = raw.substr(first.size());
        while (!TrimRight(list).empty() && TrimRight(list).back() == '\\') {
            list.resize(TrimRight(list).size() - 1);
            if (rest.empty())
                Fail(lineNo, "hex data end missing");
            rest.remove_prefix(1); // the "\n" before the next line
            std::string_view next = rest.substr(0, rest.find('\n'));
            rest.remove_prefix(next.size());
            list += TrimLeft(TrimRight(next));
        }
        parsed.Value.Type = type;
        parsed.Value.Data = ParseHexList(list, lineNo);
        if (type == RegSz || type == RegExpandSz)
            parsed.Value.Data = StringFromHexData(parsed.Value.Data);
    } else {
        Fail(lineNo, "unknown value format");
    }
    return parsed;
}

} // namespace

std::string EscapeRegString(std::string_view bytes) {
    std::string out = "\"";
    for (char c : bytes) {
        auto b = std::uint8_t(c);
        if (c == '\\' || c == '"') {
            out += '\\';
            out += c;
        } else if (b >= 0x20 && b <= 0x7E) {
            out += c;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(b));
            out += hex;
        }
    }
    out += '"';
    return out;
}

TRegDocument::TRegDocument() : FileHeader(Version5Header), Preamble("\n") {}

TRegDocument TRegDocument::Parse(std::string_view fileBytes) {
    if (fileBytes.size() > MaxHiveFileBytes)
        Fail(1, "the file is larger than " + std::to_string(MaxHiveFileBytes >> 20) + " MiB");
    std::string converted;
    std::string_view text = fileBytes;
    if (fileBytes.size() >= 2 && std::uint8_t(fileBytes[0]) == 0xFF &&
        std::uint8_t(fileBytes[1]) == 0xFE) {
        converted = platform::Utf8FromUtf16Le(fileBytes.substr(2));
        text = converted;
        if (text.size() > MaxHiveFileBytes)
            Fail(1, "the file is larger than " + std::to_string(MaxHiveFileBytes >> 20) + " MiB");
    } else if (fileBytes.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }

    // The physical lines one at a time, without their line ends.
    std::string_view rest = text;
    bool atEnd = text.empty();
    std::size_t lineNo = 0;
    auto nextLine = [&](std::string_view& line) {
        if (atEnd)
            return false;
        auto end = rest.find('\n');
        line = rest.substr(0, end);
        if (end == std::string_view::npos) {
            atEnd = true;
            rest = {};
        } else {
            rest.remove_prefix(end + 1);
            atEnd = rest.empty();
        }
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        ++lineNo;
        return true;
    };

    TRegDocument doc;
    doc.Preamble.clear();
    std::string_view line;
    if (!nextLine(line))
        Fail(1, "the file is empty");
    std::string_view header = TrimRight(line);
    if (header != Version5Header && header != Version4Header)
        Fail(1, "not a settings file");
    doc.FileHeader = line;

    while (nextLine(line)) {
        std::string& body = doc.Sections.empty() ? doc.Preamble : doc.Sections.back().Body;
        const bool foreign = !doc.Sections.empty() && !doc.Sections.back().OwnHive;
        std::string_view trimmed = TrimLeft(TrimRight(line));

        if (trimmed.empty() || trimmed.front() == ';') {
            (body += line) += '\n';
            continue;
        }

        if (trimmed.front() == '[') {
            if (trimmed.back() != ']')
                Fail(lineNo, "malformed key name");
            TSection section;
            section.Header = line;
            std::string_view inner = trimmed.substr(1, trimmed.size() - 2);
            if (!inner.empty() && inner.front() != '-') {
                std::string_view hive = inner.substr(0, inner.find('\\'));
                if (EqualsNoCase(hive, OwnHiveName)) {
                    std::string_view path = inner.substr(hive.size());
                    while (!path.empty() && path.front() == '\\')
                        path.remove_prefix(1);
                    while (!path.empty() && path.back() == '\\')
                        path.remove_suffix(1);
                    section.OwnHive = true;
                    section.Path = path;
                }
            }
            if (foreign && !section.OwnHive)
                (body += line) += '\n';
            else
                doc.Sections.push_back(std::move(section));
            continue;
        }

        if (trimmed.front() != '"' && trimmed.front() != '@')
            Fail(lineNo, "not understood");
        if (doc.Sections.empty())
            Fail(lineNo, "value outside a key");

        const std::size_t firstLineNo = lineNo;
        const std::size_t offset = body.size();
        body += line;
        if (ReadValueHead(trimmed, lineNo).Data.substr(0, 3) == "hex") {
            std::string_view last = line;
            while (ContinuesOnNextLine(last) && nextLine(last))
                (body += '\n') += last;
        }
        const std::string_view raw = std::string_view(body).substr(offset);
        const TParsedValue parsed = ParseValueLine(raw, firstLineNo);
        if (!foreign)
            doc.Sections.back().Values.push_back(
                TValueLine{std::uint32_t(offset), std::uint32_t(raw.size()), NameKeyOf(parsed.Name),
                           parsed.IsDeletion ? TLineKind::Deletion : TLineKind::Value});
        body += '\n';
    }
    return doc;
}

std::string TRegDocument::Serialize() const {
    std::string out;
    auto put = [&out](std::string_view lines) {
        for (char c : lines) {
            if (c == '\n')
                out += '\r';
            out += c;
        }
    };
    put(FileHeader);
    out += "\r\n";
    put(Preamble);
    for (const auto& section : Sections) {
        put(section.Header);
        out += "\r\n";
        put(section.Body);
    }
    return out;
}

bool TRegDocument::KeyExists(std::string_view path) const {
    if (path.empty())
        return true;
    return std::any_of(Sections.begin(), Sections.end(), [&](const TSection& section) {
        return section.OwnHive && IsSameOrBelow(section.Path, path);
    });
}

namespace {

// The last line of a body whose lines each end in "\n".
std::string_view LastLine(std::string_view body) {
    if (body.empty())
        return {};
    body.remove_suffix(1);
    return LastPhysicalLine(body);
}

} // namespace

bool TRegDocument::AddKey(std::string_view path) {
    for (const auto& section : Sections)
        if (section.OwnHive && EqualsNoCase(section.Path, path))
            return false;

    TSection section;
    section.Header =
        "[" + std::string(OwnHiveName) + (path.empty() ? "" : "\\") + std::string(path) + "]";
    section.OwnHive = true;
    section.Path = path;
    section.Body = "\n"; // the blank line that separates keys

    // Place the key after the last one below its nearest ancestor that the file has, so that a
    // new subkey lands beside its relatives; otherwise at the end.
    auto insertAt = std::find_if(Sections.begin(), Sections.end(), [&](const TSection& other) {
        return other.OwnHive && IsSameOrBelow(other.Path, path);
    });
    std::string_view ancestor = path;
    while (insertAt == Sections.end() && !path.empty()) {
        auto slash = ancestor.rfind('\\');
        ancestor = slash == std::string_view::npos ? std::string_view() : ancestor.substr(0, slash);
        for (auto it = Sections.begin(); it != Sections.end(); ++it)
            if (it->OwnHive && IsSameOrBelow(it->Path, ancestor))
                insertAt = it + 1;
        if (ancestor.empty())
            break;
    }
    // The key before the new one ends with a blank line.
    const auto index = insertAt - Sections.begin();
    std::string& previous = index > 0 ? Sections[std::size_t(index - 1)].Body : Preamble;
    if (previous.empty() || !IsBlank(LastLine(previous)))
        previous += '\n';
    Sections.insert(insertAt, std::move(section));
    return true;
}

std::pair<const TRegDocument::TSection*, std::size_t>
TRegDocument::FindLine(std::string_view path, std::string_view name) const {
    const std::uint32_t key = NameKeyOf(name);
    std::pair<const TSection*, std::size_t> found{nullptr, 0};
    for (const auto& section : Sections) {
        if (!section.OwnHive || !EqualsNoCase(section.Path, path))
            continue;
        for (std::size_t i = 0; i < section.Values.size(); ++i) {
            const TValueLine& value = section.Values[i];
            if (value.NameKey != key)
                continue;
            std::string_view first = std::string_view(section.Body).substr(value.Offset);
            first = TrimLeft(first.substr(0, first.find('\n')));
            if (EqualsNoCase(ReadValueHead(first, 0).Name, name))
                found = {&section, i};
        }
    }
    return found;
}

std::pair<TRegDocument::TSection*, std::size_t> TRegDocument::FindLine(std::string_view path,
                                                                       std::string_view name) {
    auto [section, index] = std::as_const(*this).FindLine(path, name);
    return {const_cast<TSection*>(section), index};
}

std::optional<TRegValue> TRegDocument::FindValue(std::string_view path,
                                                 std::string_view name) const {
    auto [section, index] = FindLine(path, name);
    if (!section || section->Values[index].Kind != TLineKind::Value)
        return std::nullopt;
    const TValueLine& line = section->Values[index];
    return ParseValueLine(std::string_view(section->Body).substr(line.Offset, line.Length), 0)
        .Value;
}

TRegDocument::TSection& TRegDocument::SectionFor(std::string_view path) {
    AddKey(path);
    TSection* last = nullptr;
    for (auto& section : Sections)
        if (section.OwnHive && EqualsNoCase(section.Path, path))
            last = &section;
    return *last;
}

void TRegDocument::Splice(TSection& section, std::size_t offset, std::size_t length,
                          std::string_view text) {
    section.Body.replace(offset, length, text);
    for (auto& value : section.Values)
        if (value.Offset > offset)
            value.Offset = std::uint32_t(value.Offset + text.size() - length);
}

bool TRegDocument::SetString(std::string_view path, std::string_view name, std::string_view text) {
    if (auto old = FindValue(path, name); old && old->Type == RegSz && old->Data == text)
        return false;

    const std::string raw =
        (name.empty() ? std::string("@") : EscapeRegString(name)) + "=" + EscapeRegString(text);
    if (auto [section, index] = FindLine(path, name); section) {
        TValueLine& line = section->Values[index];
        Splice(*section, line.Offset, line.Length, raw);
        line.Length = std::uint32_t(raw.size());
        line.Kind = TLineKind::Value;
        return true;
    }

    // A new value goes after the key's last line that is not blank.
    TSection& section = SectionFor(path);
    std::size_t at = section.Body.size();
    while (at > 0 && IsBlank(LastLine(std::string_view(section.Body).substr(0, at))))
        at -= LastLine(std::string_view(section.Body).substr(0, at)).size() + 1;
    Splice(section, at, 0, raw + "\n");
    section.Values.push_back(TValueLine{std::uint32_t(at), std::uint32_t(raw.size()),
                                        NameKeyOf(name), TLineKind::Value});
    return true;
}

bool TRegDocument::DeleteValue(std::string_view path, std::string_view name) {
    const bool existed = FindValue(path, name).has_value();
    for (auto [section, index] = FindLine(path, name); section;
         std::tie(section, index) = FindLine(path, name)) {
        const TValueLine line = section->Values[index];
        section->Values.erase(section->Values.begin() + std::ptrdiff_t(index));
        Splice(*section, line.Offset, line.Length + 1, {});
    }
    return existed;
}
