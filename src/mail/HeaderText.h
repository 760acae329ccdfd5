#pragma once
// Header and server text turned into text a person can see and hear: UTF-8 on one line, safe
// for the status bar, the tray hint, the log, menus, dialogs and the character.
//
// The raw bytes stay where the program compares or stores them (the message object, the
// Message-ID and unique ID kept for the next check); only what is shown or spoken passes
// through these functions.
//
// Decoding of encoded words is done by the program module "talvoro_headerdecode" (GMime),
// loaded on the first call from whichever thread makes it. When the module cannot be loaded,
// the text is shown as it came (its bytes read as UTF-8, else Windows-1252), and the reason is
// kept in HeaderDecodeError(). Safe to call from any thread; nothing here throws except
// std::bad_alloc.
#include <string>
#include <string_view>

// The longest header value that is decoded or kept: the line limit of mail. Longer raw values
// are cut to this many bytes first.
inline constexpr std::size_t MaxHeaderValueLength = 998;

// A raw header value (a Subject, a display name) as text: RFC 2047 encoded words decoded (B and
// Q, any charset, adjacent words joined, malformed words left as they are), each word of raw
// 8-bit bytes read as UTF-8, else Windows-1252. The result is DisplayText: no control
// characters, no line or paragraph separators.
std::string HeaderDisplayText(std::string_view Raw);

// The sender of a raw "From" value as shown and spoken: the text before the first "<",
// trimmed of blanks, or, when that is empty, the address between "<" and ">"; then decoded by
// HeaderDisplayText and trimmed again. "=?ISO-8859-1?Q?J=FCrgen?= <j@example.org>" gives
// "Jürgen", "<noreply@bank.example>" gives "noreply@bank.example".
std::string SenderDisplayText(std::string_view RawFrom);

// The sender in a raw From value: the text up to its first "<" outside a quoted display name,
// trimmed of blanks (code 32 only); when that is empty, the address between "<" and the next
// ">" (or the end), trimmed. A quoted name keeps its quotation marks. Not decoded.
std::string ExtractSender(const std::string& From);

// Bytes from a server (a reply line, a greeting, a raw header) as one line of UTF-8 text,
// without decoding encoded words: the bytes read as UTF-8 when they are valid UTF-8, else as
// Windows-1252, then made DisplayText.
std::string ServerDisplayText(std::string_view Raw);

// Valid UTF-8 made safe for one line: C0 controls, DEL and C1 controls become blanks, as do the
// Unicode line and paragraph separators (U+2028, U+2029).
std::string DisplayText(std::string_view Utf8);

// Why the decoding module could not be used; empty while it can (or has not been tried).
std::string HeaderDecodeError();
