// The IMAP response reader: responses as Dovecot and the protocol write them, literals arriving
// over several lines, and the limits that keep a hostile server from growing what the client
// holds.

#include <gtest/gtest.h>

#include "imap/ImapExceptions.h"
#include "imap/ImapResponse.h"
#include "imap/ImapText.h"

namespace {

// A compact rendering: atoms bare, strings in quotes, lists in parentheses.
std::string Render(const std::vector<TImapValue>& values) {
    std::string out;
    for (const TImapValue& value : values) {
        out += out.empty() ? "" : " ";
        if (value.IsList()) {
            out += "(" + Render(value.Items) + ")";
        } else if (value.Kind == TImapValue::TKind::String) {
            out += "\"" + value.Text + "\"";
        } else {
            out += value.Text;
        }
    }
    return out;
}

std::string Render(const TImapResponse& r) {
    const char* kind = r.Kind == TImapResponse::TKind::Tagged         ? "tagged "
                       : r.Kind == TImapResponse::TKind::Continuation ? "more"
                                                                      : "*";
    std::string out = kind + r.Tag;
    if (!r.Status.empty()) {
        out += " " + r.Status;
    }
    if (!r.Code.empty()) {
        out += " [" + r.Code + (r.CodeArguments.empty() ? "" : " " + Render(r.CodeArguments)) + "]";
    }
    if (!r.Text.empty()) {
        out += " text=" + r.Text;
    }
    if (!r.Data.empty()) {
        out += " " + Render(r.Data);
    }
    return out;
}

// Feeds the bytes line by line, as the transport delivers them, and parses the result.
TImapResponse Read(const std::string& bytes, const TImapLimits& limits = {}) {
    TImapResponseReader reader(limits);
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = bytes.find("\r\n", at);
        const bool complete = reader.AddLine(bytes.substr(at, end - at));
        at = end + 2;
        if (complete) {
            EXPECT_EQ(at, bytes.size()) << "complete before its end";
            return ParseImapResponse(reader.Bytes(), limits);
        }
        if (end == std::string::npos || at >= bytes.size()) {
            ADD_FAILURE() << "incomplete: " << bytes;
            return {};
        }
    }
}

} // namespace

TEST(ImapResponse, ReadsTheFormsOfResponses) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"* OK [CAPABILITY IMAP4rev1 SASL-IR IDLE] Dovecot (Debian) ready.\r\n",
         "* OK [CAPABILITY IMAP4rev1 SASL-IR IDLE] text=Dovecot (Debian) ready."},
        {"* OK [PERMANENTFLAGS (\\Deleted \\Seen \\*)] Limited\r\n",
         "* OK [PERMANENTFLAGS (\\Deleted \\Seen \\*)] text=Limited"},
        {"* ok [uidvalidity 3857529045] UIDs valid\r\n",
         "* OK [UIDVALIDITY 3857529045] text=UIDs valid"},
        {"* OK [ALERT]\r\n", "* OK [ALERT]"},
        {"* BYE\r\n", "* BYE"},
        {"* 3 EXISTS\r\n", "* 3 EXISTS"},
        {"* SEARCH 1 4  9\r\n", "* SEARCH 1 4 9"},
        {"A2 NO [AUTHENTICATIONFAILED] Authentication failed.\r\n",
         "tagged A2 NO [AUTHENTICATIONFAILED] text=Authentication failed."},
        {"A7 OK\r\n", "tagged A7 OK"},
        {"+ idling\r\n", "more text=idling"},
        {"+\r\n", "more"},
        // Quoted strings with escapes, NIL as atom and as string, an empty string, nesting.
        {"* LIST (\\Noselect) \"/\" \"a\\\"b\\\\c\"\r\n", "* LIST (\\Noselect) \"/\" \"a\"b\\c\""},
        {"* X NIL \"NIL\" \"\" (a (b (c)) ())\r\n", "* X NIL \"NIL\" \"\" (a (b (c)) ())"},
        // A literal whose bytes hold line ends and a parenthesis, then more of the response.
        {"* 1 FETCH (UID 5 BODY[HEADER.FIELDS (FROM SUBJECT)] {24}\r\nFrom: a\r\nSubject: b)\r\n"
         "\r\n FLAGS (\\Seen))\r\n",
         "* 1 FETCH (UID 5 BODY[HEADER.FIELDS (FROM SUBJECT)] \"From: a\r\nSubject: b)\r\n\r\n\" "
         "FLAGS (\\Seen))"},
        {"* 2 FETCH (BODY[]<0> {3+}\r\nabc)\r\n", "* 2 FETCH (BODY[]<0> \"abc\")"},
        {"* 2 FETCH (BODY[] {0}\r\n)\r\n", "* 2 FETCH (BODY[] \"\")"},
        // A literal that ends on a line end, and two literals in one response.
        {"* X {4}\r\nab\r\n {1}\r\nc\r\n", "* X \"ab\r\n\" \"c\""},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(Render(Read(bytes)), expected) << bytes;
    }
    const TImapResponse exists = Read("* 17 EXISTS\r\n");
    EXPECT_TRUE(exists.IsData("EXISTS"));
    EXPECT_EQ(exists.Count(), 17u);
    EXPECT_FALSE(Read("* 4294967296 EXISTS\r\n").Count());
    EXPECT_TRUE(Read("* X NIL\r\n").Data[1].IsNil());
    EXPECT_FALSE(Read("* X \"NIL\"\r\n").Data[1].IsNil());
}

TEST(ImapResponse, RefusesWhatIsNotAResponse) {
    const std::vector<std::string> malformed = {
        "",
        "* LIST \"unterminated\r\n",
        "* X (a (b)\r\n",
        "* X a)\r\n",
        "A1 FOO bar\r\n",
        " OK no tag\r\n",
        "A1\r\n",
        "* X \x01\r\n",
        "* X {5}\r\nabc\r\n", // shorter than announced
        "* X {5}abc\r\n",     // the size not at a line end
        "* OK [UIDVALIDITY 1 text\r\n",
    };
    for (const std::string& bytes : malformed) {
        EXPECT_THROW(ParseImapResponse(bytes), EImapProtocolError) << bytes;
    }
}

TEST(ImapResponse, LimitsHoldBeforeAnythingIsKept) {
    TImapLimits small;
    small.MaxLength = 1000;
    small.MaxLines = 4;
    small.MaxDepth = 8;
    small.MaxValues = 20;

    // A literal announced beyond every limit fails at its announcement, before any of it is read.
    for (const char* size : {"9223372036854775808", "99999999999999999999999999", "1001"}) {
        TImapResponseReader reader(small);
        EXPECT_THROW(reader.AddLine(std::string("* 1 FETCH (BODY[] {") + size + "}"),
                     EWinshoeLineTooLong);
    }
    TImapResponseReader lines(small);
    EXPECT_FALSE(lines.AddLine("* X {900}"));
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(lines.AddLine("line"));
    }
    EXPECT_THROW(lines.AddLine("line"), EWinshoeLineTooLong);
    TImapResponseReader length(small);
    EXPECT_THROW(length.AddLine(std::string(1000, 'x')), EWinshoeLineTooLong);

    EXPECT_NO_THROW(ParseImapResponse("* X " + std::string(8, '(') + std::string(8, ')'), small));
    EXPECT_THROW(ParseImapResponse("* X " + std::string(9, '(') + std::string(9, ')'), small),
                 EWinshoeLineTooLong);
    std::string many = "* SEARCH";
    for (int i = 0; i < 20; ++i) {
        many += " " + std::to_string(i);
    }
    EXPECT_THROW(ParseImapResponse(many, small), EWinshoeLineTooLong);
    EXPECT_THROW(ParseImapResponse("* X {1001}\r\n" + std::string(1001, 'x'), small),
                 EWinshoeLineTooLong);
}

TEST(ImapText, WritesFolderNamesAndStringsAsTheProtocolWants) {
    const std::vector<std::pair<std::string, std::string>> folders = {
        {"INBOX", "INBOX"},
        {"Tom & Jerry", "Tom &- Jerry"},
        {"Entw\xC3\xBC"
         "rfe",
         "Entw&APw-rfe"},
        {"~peter/mail/\xE5\x8F\xB0\xE5\x8C\x97/\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
         "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
        {"\xF0\x9F\x98\x80", "&2D3eAA-"}, // outside the BMP: a surrogate pair
        {"\xFF", "&AP8-"},                // not UTF-8: taken as Latin-1
        {"tab\there", "tab&AAk-here"},
    };
    for (const auto& [name, wire] : folders) {
        EXPECT_EQ(EncodeMailboxName(name), wire) << name;
    }
    EXPECT_EQ(ImapQuoted("a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(ImapQuoted(""), "\"\"");
    EXPECT_FALSE(ImapQuoted("p\xC3\xA4ss"));
    EXPECT_FALSE(ImapQuoted("a\r\nb"));
    EXPECT_EQ(Base64Encode(std::string("\0alice\0w0nder", 13)), "AGFsaWNlAHcwbmRlcg==");
}
