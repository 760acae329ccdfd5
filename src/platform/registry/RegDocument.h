#pragma once

// The hive file: the registry-export format of Windows, read and written without losing
// anything that the program does not change.
//
//   Windows Registry Editor Version 5.00            (or REGEDIT4)
//
//   [HKEY_CURRENT_USER\Software\Ostrawick\Talvoro\1.0\Settings]
//   "CheckInterval"="3"
//   "Name"="text with \\ and \" and \xNN"
//   @="the key's default value"
//   "Counter"=dword:0000002a
//   "Blob"=hex:01,02,ff
//   "Other"=hex(7):41,00,00,00,\     (a backslash ends a line that continues)
//     00,00
//
// Reading accepts a file in UTF-16LE with a byte-order mark (what regedit exports), UTF-8 with or
// without one, and CRLF or LF line ends. Blank lines and lines starting with ";" are comments.
// Sections of other hives, "[-...]" deletion sections and "=-" deletion values are kept as they
// are and otherwise ignored. A key whose section is missing exists when a section below it does.
// Where a key has several sections, or a value appears twice, the last one counts (as on import).
//
// String escapes: "\\" is a backslash, "\"" a quote, "\xNN" (two hex digits) the byte NN. Written
// strings escape every byte outside printable ASCII as \xNN, so the file is plain ASCII and each
// byte value survives. Any other backslash is read as itself. hex(1) and hex(2) data (UTF-16LE, as
// Windows exports strings that it cannot write plainly) are read as UTF-8 text.
//
// Writing keeps every untouched line byte for byte, in order; changed values are rewritten where
// they stand, new ones go after the key's last value, new keys after their nearest relative.
// Lines end in CRLF, as regedit writes them.
//
// Parse throws ERegParseError for anything else (a missing header, a value outside a section, a
// malformed line, a hex byte or number out of range, a file larger than MaxHiveFileBytes); its
// message names the line.
//
// Time and memory are linear in the file's size: a key's lines are held as one piece of text, with
// a small index of its value lines, each parsed again when it is looked at.

#include "platform/registry/Registry.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ERegParseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Far larger than any hive the program writes (a few kilobytes); a larger file is damaged.
inline constexpr std::size_t MaxHiveFileBytes = std::size_t(16) << 20;

class TRegDocument {
public:
    // An empty hive (header only).
    TRegDocument();

    static TRegDocument Parse(std::string_view fileBytes);
    std::string Serialize() const;

    // Paths below HKEY_CURRENT_USER without a leading backslash, e.g. "Software\Ostrawick".
    // The empty path is the hive's root.
    bool KeyExists(std::string_view path) const;
    // Adds a section for the key; false when the key already has one.
    bool AddKey(std::string_view path);

    std::optional<TRegValue> FindValue(std::string_view path, std::string_view name) const;
    // Sets a string value, adding the key when needed; false when it already held exactly that.
    bool SetString(std::string_view path, std::string_view name, std::string_view text);
    // False when there was no such value.
    bool DeleteValue(std::string_view path, std::string_view name);

private:
    enum class TLineKind : std::uint8_t {
        Value,    // "Name"=data
        Deletion, // "Name"=-
    };
    // A value line within its section's body: the bytes from Offset to the line's end, hex data
    // continued over several lines included.
    struct TValueLine {
        std::uint32_t Offset = 0;
        std::uint32_t Length = 0;
        std::uint32_t NameKey = 0; // a hash of the name, letters folded
        TLineKind Kind = TLineKind::Value;
    };
    struct TSection {
        std::string Header;   // the "[...]" line as found
        bool OwnHive = false; // a live key of HKEY_CURRENT_USER
        std::string Path;     // below the hive, when OwnHive
        // Every line after the header as found, each ended by "\n". Keys of other hives that
        // follow one another share one section, their headers in its body.
        std::string Body;
        std::vector<TValueLine> Values; // of a live key, in the order of the body
    };

    // The value line of Name in the last section of Path that has one.
    std::pair<TSection*, std::size_t> FindLine(std::string_view path, std::string_view name);
    std::pair<const TSection*, std::size_t> FindLine(std::string_view path,
                                                     std::string_view name) const;
    TSection& SectionFor(std::string_view path);
    // Replaces Length bytes of the body at Offset, moving the later value lines along.
    static void Splice(TSection& section, std::size_t offset, std::size_t length,
                       std::string_view text);

    std::string FileHeader;
    std::string Preamble; // the lines between the header and the first section, each ended by "\n"
    std::vector<TSection> Sections;
};

// The text of a string value as the hive file writes it, quotes included.
std::string EscapeRegString(std::string_view bytes);
