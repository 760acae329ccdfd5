#pragma once

// How the client writes values into IMAP commands.

#include <optional>
#include <string>
#include <string_view>

// A folder name as IMAP spells it on the wire: modified UTF-7. Printable ASCII stays as it is
// ("&" becomes "&-"); every run of other characters becomes "&", their UTF-16 in base64 with ","
// for "/" and no padding, and "-". The name is read as UTF-8; a byte that is not part of a
// valid UTF-8 sequence is taken as the Latin-1 character of that value.
std::string EncodeMailboxName(std::string_view utf8);

// A quoted string ("..." with "\" before every "\" and quote) for text of 7-bit characters
// without CR, LF or NUL; nothing for any other text, which must go as a literal.
std::optional<std::string> ImapQuoted(std::string_view text);

// Base64 as SASL uses it (with padding).
std::string Base64Encode(std::string_view bytes);
