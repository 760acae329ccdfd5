#pragma once

// The one reader of IMAP responses. Pure functions over bytes: no socket, no state beyond the
// object being filled, so that the client and a fuzz target call the same code.
//
// A response is a line that may carry literals: a line ending in "{n}" or "{n+}" is followed by
// exactly n bytes, after which the same response goes on up to the next line end.
// TImapResponseReader collects the lines of one response as the transport delivers them (each
// without its CR LF) and says when the response is complete; ParseImapResponse turns the
// collected bytes into a TImapResponse.
//
// Everything here is untrusted input, and bounded: the whole response (literals included) is at
// most TImapLimits::MaxLength bytes and MaxLines lines, lists nest at most MaxDepth deep, and a
// response holds at most MaxValues values. A literal is counted against the limit when it is
// announced, before any of it is read, so that "{9223372036854775808}" fails at once; no memory
// is ever reserved from an announced size. Past a limit: EWinshoeLineTooLong. Bytes that are not
// an IMAP response: EImapProtocolError. The caller closes the connection in both cases.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TImapLimits {
    std::size_t MaxLength = 16 * 1024 * 1024;
    std::size_t MaxLines = 100000;
    int MaxDepth = 32;
    std::size_t MaxValues = 500000;
};

// One value of a response: an atom (numbers, flags such as "\Seen", "NIL" spelt by the caller's
// choice are atoms too, see IsNil), a string (quoted or literal, its contents unescaped), or a
// parenthesised list. An atom followed by a bracketed section keeps the section in its text:
// "BODY[HEADER.FIELDS (FROM SUBJECT)]" is one atom.
struct TImapValue {
    enum class TKind : std::uint8_t { Atom, String, List };

    TKind Kind = TKind::Atom;
    std::string Text;
    std::vector<TImapValue> Items;

    bool IsAtom() const { return Kind == TKind::Atom; }
    bool IsList() const { return Kind == TKind::List; }
    // An atom equal to the name, letters compared without regard to case.
    bool IsAtom(std::string_view name) const;
    bool IsNil() const { return IsAtom("NIL"); }
    // The atom as an unsigned 32-bit number (UIDs, counts, UIDVALIDITY); nothing when it is not
    // one (a string, a list, other characters, more than 32 bits).
    std::optional<std::uint32_t> Number() const;
};

struct TImapResponse {
    enum class TKind : std::uint8_t { Untagged, Tagged, Continuation };

    TKind Kind = TKind::Untagged;
    std::string Tag; // tagged responses only
    // "OK", "NO", "BAD", "BYE" or "PREAUTH" in capitals for a status response; empty for a data
    // response ("* 3 EXISTS", "* CAPABILITY ...") and a continuation.
    std::string Status;
    // The response code of a status response in capitals ("UIDVALIDITY"), empty when there is
    // none, and its arguments.
    std::string Code;
    std::vector<TImapValue> CodeArguments;
    // The human-readable text of a status response or a continuation, as sent.
    std::string Text;
    // The values of a data response after the "*": "3", "EXISTS".
    std::vector<TImapValue> Data;

    bool IsStatus(std::string_view status) const { return Status == status; }
    // A data response whose first value (or, for "* n NAME", second value) is the atom name.
    bool IsData(std::string_view name) const;
    // "* n NAME": the n; nothing for any other form.
    std::optional<std::uint32_t> Count() const;
};

// Collects one response, line by line.
class TImapResponseReader {
public:
    explicit TImapResponseReader(TImapLimits limits = {}) : FLimits(limits) {}

    // Adds the next line received, without its CR LF. True when the response is complete; then
    // Bytes() holds it (with the CR LF between its lines, without the last one). Throws
    // EWinshoeLineTooLong past a limit.
    bool AddLine(std::string_view line);
    const std::string& Bytes() const { return FBytes; }
    // Starts over for the next response.
    void Clear();

private:
    TImapLimits FLimits;
    std::string FBytes;
    std::size_t FLines = 0;
    std::uint64_t FLiteralLeft = 0; // bytes of a literal still to come
};

// Parses one complete response as TImapResponseReader collected it. Throws EImapProtocolError
// for bytes that are not a response, EWinshoeLineTooLong past a limit (depth, values, a literal
// longer than the bytes).
TImapResponse ParseImapResponse(std::string_view bytes, const TImapLimits& limits = {});

// The announced size of a literal that ends the line ("{n}" or "{n+}"), or nothing. Sizes too
// large for 64 bits read as the largest value, which every limit refuses.
std::optional<std::uint64_t> LiteralAtLineEnd(std::string_view line);
