#include "platform/registry/RegDocument.h"

#include <algorithm>
#include <cstdio>
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

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    auto unit = [&](std::size_t i) {
        return char16_t(std::uint8_t(bytes[i]) | (std::uint8_t(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size()) {
            char32_t low = unit(i + 2);
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

// Windows stores strings as UTF-16 with a terminating zero; an export shows them so in hex(1)/(2).
std::string StringFromHexData(const std::string& data) {
    if (data.size() % 2 != 0)
        return std::string(data.c_str());
    std::string text = Utf16LeToUtf8(data);
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

std::string ParseHexList(std::string_view s, std::size_t lineNo) {
    std::string out;
    s = TrimLeft(TrimRight(s));
    if (s.empty())
        return out;
    while (true) {
        s = TrimLeft(s);
        std::size_t digits = 0;
        int byte = 0;
        while (digits < s.size() && HexDigit(s[digits]) >= 0) {
            byte = byte * 16 + HexDigit(s[digits]);
            ++digits;
        }
        if (digits == 0 || digits > 2)
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

TRegDocument::TRegDocument() : FileHeader(Version5Header), Preamble{""} {}

TRegDocument TRegDocument::Parse(std::string_view fileBytes) {
    std::string text;
    if (fileBytes.size() >= 2 && std::uint8_t(fileBytes[0]) == 0xFF &&
        std::uint8_t(fileBytes[1]) == 0xFE) {
        text = Utf16LeToUtf8(fileBytes.substr(2));
    } else {
        if (fileBytes.substr(0, 3) == "\xEF\xBB\xBF")
            fileBytes.remove_prefix(3);
        text = fileBytes;
    }

    std::vector<std::string_view> lines;
    std::string_view rest = text;
    while (!rest.empty()) {
        auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }

    TRegDocument doc;
    doc.Preamble.clear();
    if (lines.empty())
        Fail(1, "the file is empty");
    std::string_view header = TrimRight(lines[0]);
    if (header != Version5Header && header != Version4Header)
        Fail(1, "not a registry file");
    doc.FileHeader = lines[0];

    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::size_t lineNo = i + 1;
        std::string_view line = lines[i];
        std::string_view trimmed = TrimLeft(TrimRight(line));
        TLine parsed;
        parsed.Raw = line;

        if (trimmed.empty() || trimmed.front() == ';') {
            if (doc.Sections.empty())
                doc.Preamble.push_back(parsed.Raw);
            else
                doc.Sections.back().Lines.push_back(std::move(parsed));
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
            doc.Sections.push_back(std::move(section));
            continue;
        }

        if (trimmed.front() != '"' && trimmed.front() != '@')
            Fail(lineNo, "not understood");
        if (doc.Sections.empty())
            Fail(lineNo, "value outside a key");

        std::string_view s = trimmed;
        if (s.front() == '@') {
            s.remove_prefix(1);
        } else {
            parsed.Name = ReadQuoted(s, lineNo);
        }
        s = TrimLeft(s);
        if (s.empty() || s.front() != '=')
            Fail(lineNo, "missing '='");
        s = TrimLeft(s.substr(1));

        parsed.IsValue = true;
        if (!s.empty() && s.front() == '"') {
            parsed.Value.Type = RegSz;
            parsed.Value.Data = ReadQuoted(s, lineNo);
            if (!TrimLeft(s).empty())
                Fail(lineNo, "text after the closing quote");
        } else if (s == "-") {
            parsed.IsDeletion = true;
        } else if (s.substr(0, 6) == "dword:") {
            std::string_view digits = s.substr(6);
            if (digits.empty() || digits.size() > 8 ||
                !std::all_of(digits.begin(), digits.end(), [](char c) { return HexDigit(c) >= 0; }))
                Fail(lineNo, "malformed dword");
            std::uint32_t v = 0;
            for (char c : digits)
                v = v * 16 + std::uint32_t(HexDigit(c));
            parsed.Value.Type = RegDword;
            for (int b = 0; b < 4; ++b)
                parsed.Value.Data += char((v >> (8 * b)) & 0xFF);
        } else if (s.substr(0, 3) == "hex") {
            s.remove_prefix(3);
            std::uint32_t type = RegBinary;
            if (!s.empty() && s.front() == '(') {
                auto close = s.find(')');
                if (close == std::string_view::npos || close == 1 || close > 9)
                    Fail(lineNo, "malformed value type");
                type = 0;
                for (char c : s.substr(1, close - 1)) {
                    if (HexDigit(c) < 0)
                        Fail(lineNo, "malformed value type");
                    type = type * 16 + std::uint32_t(HexDigit(c));
                }
                s.remove_prefix(close + 1);
            }
            if (s.empty() || s.front() != ':')
                Fail(lineNo, "malformed hex value");
            s.remove_prefix(1);
            std::string list(s);
            while (!TrimRight(list).empty() && TrimRight(list).back() == '\\') {
                list.resize(TrimRight(list).size() - 1);
                if (++i >= lines.size())
                    Fail(lineNo, "hex data end missing");
                parsed.Raw += '\n';
                parsed.Raw += lines[i];
                list += TrimLeft(TrimRight(lines[i]));
            }
            parsed.Value.Type = type;
            parsed.Value.Data = ParseHexList(list, lineNo);
            if (type == RegSz || type == RegExpandSz)
                parsed.Value.Data = StringFromHexData(parsed.Value.Data);
        } else {
            Fail(lineNo, "unknown value format");
        }
        doc.Sections.back().Lines.push_back(std::move(parsed));
    }
    return doc;
}

std::string TRegDocument::Serialize() const {
    std::string out;
    auto put = [&out](std::string_view raw) {
        // Raw lines of continued hex data hold "\n" between their physical lines.
        for (char c : raw) {
            if (c == '\n')
                out += '\r';
            out += c;
        }
        out += "\r\n";
    };
    put(FileHeader);
    for (const auto& line : Preamble)
        put(line);
    for (const auto& section : Sections) {
        put(section.Header);
        for (const auto& line : section.Lines)
            put(line.Raw);
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

bool TRegDocument::AddKey(std::string_view path) {
    for (const auto& section : Sections)
        if (section.OwnHive && EqualsNoCase(section.Path, path))
            return false;

    TSection section;
    section.Header =
        "[" + std::string(OwnHiveName) + (path.empty() ? "" : "\\") + std::string(path) + "]";
    section.OwnHive = true;
    section.Path = path;
    section.Lines.emplace_back(); // the blank line that separates keys

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
    const auto index = insertAt - Sections.begin();
    if (index > 0) {
        auto& previous = Sections[std::size_t(index - 1)].Lines;
        if (previous.empty() || !TrimLeft(TrimRight(previous.back().Raw)).empty())
            previous.emplace_back();
    } else if (Preamble.empty() || !TrimLeft(TrimRight(Preamble.back())).empty()) {
        Preamble.emplace_back();
    }
    Sections.insert(insertAt, std::move(section));
    return true;
}

const TRegDocument::TLine* TRegDocument::FindLine(std::string_view path,
                                                  std::string_view name) const {
    const TLine* found = nullptr;
    for (const auto& section : Sections) {
        if (!section.OwnHive || !EqualsNoCase(section.Path, path))
            continue;
        for (const auto& line : section.Lines)
            if (line.IsValue && EqualsNoCase(line.Name, name))
                found = &line;
    }
    return found;
}

TRegDocument::TLine* TRegDocument::FindLine(std::string_view path, std::string_view name) {
    return const_cast<TLine*>(std::as_const(*this).FindLine(path, name));
}

std::optional<TRegValue> TRegDocument::FindValue(std::string_view path,
                                                 std::string_view name) const {
    const TLine* line = FindLine(path, name);
    if (!line || line->IsDeletion)
        return std::nullopt;
    return line->Value;
}

TRegDocument::TSection& TRegDocument::SectionFor(std::string_view path) {
    AddKey(path);
    TSection* last = nullptr;
    for (auto& section : Sections)
        if (section.OwnHive && EqualsNoCase(section.Path, path))
            last = &section;
    return *last;
}

bool TRegDocument::SetString(std::string_view path, std::string_view name, std::string_view text) {
    TLine* line = FindLine(path, name);
    if (line && !line->IsDeletion && line->Value.Type == RegSz && line->Value.Data == text)
        return false;

    TLine fresh;
    fresh.IsValue = true;
    fresh.Name = name;
    fresh.Value = TRegValue{RegSz, std::string(text)};
    fresh.Raw =
        (name.empty() ? std::string("@") : EscapeRegString(name)) + "=" + EscapeRegString(text);
    if (line) {
        *line = std::move(fresh);
        return true;
    }

    auto& lines = SectionFor(path).Lines;
    auto at = lines.end();
    while (at != lines.begin() && !(at - 1)->IsValue && TrimLeft(TrimRight((at - 1)->Raw)).empty())
        --at;
    lines.insert(at, std::move(fresh));
    return true;
}

bool TRegDocument::DeleteValue(std::string_view path, std::string_view name) {
    const bool existed = FindValue(path, name).has_value();
    for (auto& section : Sections) {
        if (!section.OwnHive || !EqualsNoCase(section.Path, path))
            continue;
        std::erase_if(section.Lines, [&](const TLine& line) {
            return line.IsValue && EqualsNoCase(line.Name, name);
        });
    }
    return existed;
}
