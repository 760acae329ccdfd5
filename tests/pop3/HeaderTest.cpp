// Turning a received header block into the message's fields, and the message's header views.

#include <stdexcept>

#include <gtest/gtest.h>

#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoeMessageClient.h"

namespace {

TWinshoeMessage Parse(const std::vector<std::string>& lines) {
    TWinshoeMessage message;
    message.Headers() = lines;
    TWinshoeMessageClient::ParseHeaderBlock(message);
    return message;
}

} // namespace

TEST(HeaderBlock, FoldedLinesJoinWithOneBlank) {
    const TWinshoeMessage m =
        Parse({"Subject: first part", "\tsecond\tpart  ", "From: a@b", "   ", "To: x@y"});
    EXPECT_EQ(m.Subject(), "first part second part");
    // A line of blanks only continues the header before it with one blank.
    EXPECT_EQ(m.From(), "a@b ");
    EXPECT_EQ(m.Headers(),
              (std::vector<std::string>{"Subject=first part second part", "From=a@b ", "To=x@y"}));
}

TEST(HeaderBlock, FirstColonBlankMakesTheEntry) {
    const TWinshoeMessage m =
        Parse({"From:  Ann", "Subject: Re: Re: plans", "Organization:none", "X-Odd: a=b: c"});
    EXPECT_EQ(m.From(), " Ann");
    EXPECT_EQ(m.Subject(), "Re: Re: plans");
    EXPECT_EQ(m.Organization(), "");
    EXPECT_EQ(m.Value("X-Odd"), "a=b: c");
}

TEST(HeaderBlock, LookupIgnoresLetterCaseAndTakesTheFirst) {
    const TWinshoeMessage m =
        Parse({"sUbJeCt: mixed", "FROM: first@x", "From: second@x", "message-id: <42@host>"});
    EXPECT_EQ(m.Subject(), "mixed");
    EXPECT_EQ(m.From(), "first@x");
    EXPECT_EQ(m.MsgID(), "<42@host>");
}

TEST(HeaderBlock, ValuesStayAsReceived) {
    const TWinshoeMessage m = Parse({"Subject: =?UTF-8?B?SGVsbG8=?= \"quoted\"  "});
    EXPECT_EQ(m.Subject(), "=?UTF-8?B?SGVsbG8=?= \"quoted\"  ");
}

TEST(HeaderBlock, TitleReplacesSubjectOnlyWhenNotEmpty) {
    TWinshoeMessage m = Parse({"Subject: old", "From: a", "Title: new"});
    EXPECT_EQ(m.Subject(), "new");
    EXPECT_EQ(m.Headers(), (std::vector<std::string>{"Subject=new", "From=a"}));

    m = Parse({"From: a", "Title: only title"});
    EXPECT_EQ(m.Headers(), (std::vector<std::string>{"From=a", "Subject=only title"}));

    m = Parse({"Subject: kept", "Title:"});
    EXPECT_EQ(m.Subject(), "kept");
    EXPECT_EQ(m.Headers().size(), 2u);
}

TEST(HeaderBlock, AddressListsSplitOutsideQuotes) {
    const TWinshoeMessage m =
        Parse({"To: \"Doe, Jane\" <jane@x>, bob@y ,, \"Roe, R\" <r@z>", "Cc: one@x,\r", "\ttwo@y",
               "Newsgroups: comp.lang.c, alt.test"});
    EXPECT_EQ(m.Too(),
              (std::vector<std::string>{"\"Doe, Jane\" <jane@x>", "bob@y", "\"Roe, R\" <r@z>"}));
    EXPECT_EQ(m.CCList(), (std::vector<std::string>{"one@x", "two@y"}));
    EXPECT_EQ(m.Newsgroups(), (std::vector<std::string>{"comp.lang.c", "alt.test"}));
    EXPECT_EQ(TWinshoeMessageClient::SplitAddressList("a\"b,c\"d\"e,f"),
              (std::vector<std::string>{"a\"b,c\"d\"e", "f"}));
}

TEST(HeaderBlock, ContinuationBeforeAnyHeaderIsDropped) {
    const TWinshoeMessage m = Parse({"  stray", "Subject: s"});
    EXPECT_EQ(m.Headers(), (std::vector<std::string>{"Subject=s"}));
}

TEST(Message, HeaderValueByIndex) {
    TWinshoeMessage m;
    m.SetHeaderValue(TWinshoeMessage::hiSubject, "Hello");
    m.SetHeaderValue(TWinshoeMessage::hiTo, "x@y");
    m.SetHeaderValue(TWinshoeMessage::hiMessageID, "<id>");
    EXPECT_EQ(m.HeaderValue(4), "Hello");
    EXPECT_EQ(m.HeaderValue(5), "x@y");
    EXPECT_EQ(m.MsgID(), "<id>");
    EXPECT_EQ(m.Headers(),
              (std::vector<std::string>{"Subject=Hello", "To=x@y", "Message-ID=<id>"}));

    m.Headers().insert(m.Headers().begin(), "reply-to=r@s");
    m.SetHeaderValue(TWinshoeMessage::hiReplyTo, "t@u");
    EXPECT_EQ(m.Headers().front(), "Reply-To=t@u");
    m.SetHeaderValue(TWinshoeMessage::hiSubject, "");
    EXPECT_EQ(m.Subject(), "");
    EXPECT_EQ(m.Headers().size(), 3u);
    EXPECT_THROW(m.HeaderValue(7), std::out_of_range);
    EXPECT_THROW(m.SetHeaderValue(-1, "x"), std::out_of_range);
}

TEST(Message, ClearForgetsEverythingOfTheLastMessage) {
    TWinshoeMessage m = Parse({"Subject: s", "To: a, b"});
    m.SetMsgNo(5);
    m.Clear();
    EXPECT_TRUE(m.Headers().empty());
    EXPECT_TRUE(m.Too().empty());
    EXPECT_EQ(m.MsgNo(), 0);
    EXPECT_EQ(m.Subject(), "");
    EXPECT_EQ(m.ContentType(), "text/plain");
}

TEST(HeaderBlock, LongValuesAreKeptTo998Bytes) {
    const std::string word = "=?UTF-8?B?SsO8cmdlbiBNw7xsbGVy?=";
    std::string words;
    while (words.size() < 1100) {
        words += word + " ";
    }
    const std::size_t wholeWords = (998 / (word.size() + 1)) * (word.size() + 1) - 1;
    const struct {
        std::string Value;
        std::string Kept;
    } cases[] = {
        {std::string(2000, 'a'), std::string(998, 'a')},
        // Never half a UTF-8 sequence.
        {std::string(997, 'a') + "\xC3\xA4" + "tail", std::string(997, 'a')},
        // Never half an encoded word.
        {words, words.substr(0, wholeWords)},
        {"short", "short"},
    };
    for (const auto& c : cases) {
        const TWinshoeMessage m = Parse({"Subject: " + c.Value, "Message-ID: <" + c.Value + ">"});
        EXPECT_EQ(m.Subject(), c.Kept);
        EXPECT_LE(m.MsgID().size(), 998u);
    }
    // Folded lines count as the value they make.
    const TWinshoeMessage folded =
        Parse({"From: " + std::string(600, 'f'), " " + std::string(600, 'g')});
    EXPECT_EQ(folded.From(), std::string(600, 'f') + " " + std::string(397, 'g'));
}
