// Header text as people wrote it: real-world encodings through the functions that produce the
// announcement's, the balloon's, the menu's and the Messages window's text.
#include "mail/HeaderText.h"
#include "agent/SpeechMarkup.h"
#include "mail/MailCheckRules.h"
#include "mail/MessageTable.h"
#include "settings/StoredText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TCase {
    const char* Name;
    std::string Raw;
    std::string Shown;
};

std::string Repeat(const std::string& Piece, int Times) {
    std::string Result;
    for (int I = 0; I < Times; ++I)
        Result += Piece;
    return Result;
}

} // namespace

TEST(HeaderText, RealWorldSubjects) {
    const TCase Cases[] = {
        {"UTF-8, B", "=?UTF-8?B?SsO8cmdlbiBNw7xsbGVy?=", "Jürgen Müller"},
        {"ISO-8859-1, Q", "=?ISO-8859-1?Q?Gr=FC=DFe_aus_K=F6ln?=", "Grüße aus Köln"},
        {"letter case of charset and encoding", "=?iso-8859-1?q?caf=E9?=", "café"},
        {"Windows-1252", "=?windows-1252?Q?=93Quoted=94_=80?=", "\u201cQuoted\u201d \u20ac"},
        {"encoded word inside plain text", "Re: =?UTF-8?Q?R=C3=A9union?= demain",
         "Re: Réunion demain"},
        {"adjacent words joined", "=?UTF-8?Q?Gr=C3=BC?= =?UTF-8?Q?=C3=9Fe?=", "Grüße"},
        {"split B words, no padding", "=?UTF-8?B?SGVsbG8g?= =?UTF-8?B?V29ybGQ=?=", "Hello World"},
        {"split B words, the first padded",
         "=?UTF-8?B?SGVsbG8=?=\t=?UTF-8?B?V29ybGQ=?=", "HelloWorld"},
        {"character split between words", "=?UTF-8?B?8J+Y?= =?UTF-8?B?gA==?=", "\U0001F600"},
        {"Japanese, ISO-2022-JP", "=?ISO-2022-JP?B?GyRCJUYlOSVIGyhC?=", "テスト"},
        {"Japanese, UTF-8", "=?UTF-8?B?5pel5pys6Kqe?= =?UTF-8?B?44Gu5Lu25ZCN?=", "日本語の件名"},
        {"unterminated word left as it is", "=?UTF-8?Q?unterminated", "=?UTF-8?Q?unterminated"},
        {"unknown encoding left as it is", "=?UTF-8?X?abc?=", "=?UTF-8?X?abc?="},
        {"raw UTF-8",
         "Gr\xc3\xbc\xc3\x9f"
         "e",
         "Grüße"},
        {"raw Latin-1",
         "Gr\xfc\xdf"
         "e aus K\xf6ln",
         "Grüße aus Köln"},
        {"raw Windows-1252", "\x93Hi\x94 \x80", "\u201cHi\u201d \u20ac"},
        {"plain ASCII", "Meeting at 10:30", "Meeting at 10:30"},
        {"line break in an encoded word", "=?UTF-8?Q?Hi=0D=0AYou_have_99?=", "Hi  You have 99"},
        {"C1 controls and separators",
         "=?UTF-8?Q?a=C2=85b=E2=80=A8c=E2=80=A9d=C2=9Be?=", "a b c d e"},
        {"NUL and TAB", std::string("a\0b\tc", 5), "a b c"},
        {"empty", "", ""},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(HeaderDisplayText(C.Raw), C.Shown) << C.Name;
}

TEST(HeaderText, Senders) {
    const TCase Cases[] = {
        {"Q-encoded name", "=?ISO-8859-1?Q?J=FCrgen_M=FCller?= <jm@example.org>", "Jürgen Müller"},
        {"B-encoded name in quotes", "\"=?UTF-8?B?SsO8cmdlbg==?=\" <j@example.org>", "\"Jürgen\""},
        {"only an address in angle brackets", "<noreply@bank.example>", "noreply@bank.example"},
        {"bare address", "  bob@example.org ", "bob@example.org"},
        {"encoded angle bracket stays in the name", "=?UTF-8?Q?Eve_=3Cceo=3E?= <e@x.example>",
         "Eve <ceo>"},
        {"blanks decoded at the ends", "=?UTF-8?Q?_Ann_?= <a@x.example>", "Ann"},
        {"raw Latin-1 name", "Andr\xe9 <a@x.example>", "André"},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(SenderDisplayText(C.Raw), C.Shown) << C.Name;
}

TEST(HeaderText, LongSubjectsAreCutWhereTheTableCutsThem) {
    // 300 characters: stored, shown and spoken with the first 255.
    const std::string Long = Repeat("ä", 300);
    TMessageTable Table;
    Table.Insert("<id>", 1, "x", HeaderDisplayText("=?UTF-8?B?" + Repeat("w6TDpMOk", 100) + "?="));
    EXPECT_EQ(Table.Row(0).Subject, Repeat("ä", 255));

    // A value cut at the line limit in the middle of its last encoded word shows what could be
    // decoded, without the broken word.
    std::string Words;
    for (int I = 0; I < 60; ++I)
        Words += "=?UTF-8?B?5pel5pys6Kqe?= ";
    const std::string Shown = HeaderDisplayText(Words.substr(0, MaxHeaderValueLength));
    EXPECT_EQ(Shown.find("=?"), std::string::npos) << Shown;
    EXPECT_EQ(Shown.rfind(Repeat("日本語", 10), 0), 0u);
}

TEST(HeaderText, DecodedTextCannotInjectSpeechMarkup) {
    TAnnouncement A;
    A.FirstAnnouncement = true;
    A.NumToAnnounce = 1;
    A.NumNewMessages = 1;
    A.From = SenderDisplayText("=?UTF-8?Q?=5Cpau=3D9999=5C?= <x@example.org>");
    A.Subject = HeaderDisplayText("=?UTF-8?B?PHNwZWFrPjwvc3BlYWs+PGJyZWFrIHRpbWU9Ijk5cyIvPg==?=");
    ASSERT_EQ(A.From, "\\pau=9999\\");
    ASSERT_EQ(A.Subject, "<speak></speak><break time=\"99s\"/>");

    const TSpeechMarkup Markup = TranslateSpeechMarkup(QString::fromStdString(AnnouncementText(A)));
    EXPECT_EQ(Markup.Ssml.count(QStringLiteral("<speak")), 1) << Markup.Ssml.toStdString();
    EXPECT_FALSE(Markup.Ssml.contains(QStringLiteral("9999ms"))) << Markup.Ssml.toStdString();
    EXPECT_FALSE(Markup.Ssml.contains(QStringLiteral("<break time=\"99s\""))) << "escaped";
    EXPECT_TRUE(Markup.Shown.contains(QStringLiteral("\\pau=9999\\")));
    EXPECT_TRUE(Markup.Shown.contains(QStringLiteral("<speak></speak>")));
}

TEST(HeaderText, ServerRepliesBecomeOneLine) {
    EXPECT_EQ(ServerDisplayText("-ERR a\nYou have 99 unread message(s)"),
              "-ERR a You have 99 unread message(s)");
    EXPECT_EQ(ServerDisplayText("-ERR Postf\xe4"
                                "cher voll"),
              "-ERR Postfächer voll");
    EXPECT_EQ(RejectedCommandText(TCheckStep::Login, 0, "-ERR [AUTH] Plaintext disallowed."),
              "Error: Please check your login/password (server: [AUTH] Plaintext disallowed.)");
    EXPECT_EQ(RejectedCommandText(TCheckStep::Login, 0, "-ERR"),
              "Error: Please check your login/password");
    EXPECT_EQ(RejectedCommandText(TCheckStep::Headers, 7, "-ERR There's no message 7."),
              "Error: Unable to retrieve the headers of message 7 (server: There's no message 7.)");
    EXPECT_EQ(RejectedCommandText(TCheckStep::Count, 0, "-ERR " + std::string(500, 'x')),
              "Error: Unable to count the messages on the server (server: " +
                  std::string(MaxServerReplyLength, 'x') + "...)");
}

// Run by itself with TALVORO_MODULE_DIR pointing nowhere: without the decoding module the text
// is shown as it came, still as one line of valid text.
TEST(HeaderTextFallback, WithoutTheModuleTheRawTextIsShown) {
    if (HeaderDecodeError().empty())
        GTEST_SKIP() << "the decoding module is loaded";
    EXPECT_EQ(HeaderDisplayText("=?UTF-8?B?SsO8cmdlbg==?="), "=?UTF-8?B?SsO8cmdlbg==?=");
    EXPECT_EQ(HeaderDisplayText("Gr\xfc\xdf"
                                "e\r\nX"),
              "Grüße  X");
    EXPECT_EQ(SenderDisplayText("<noreply@bank.example>"), "noreply@bank.example");
}

// A byte that is not UTF-8 reads as the same character in a header, a server reply and a
// stored setting; each byte as a character of its own, and the setting keeps the byte.
TEST(HeaderText, EveryByteReadsAsTheSettingsReadIt) {
    QString Characters;
    for (int Value = 0; Value < 256; ++Value) {
        const std::string Byte(1, char(Value));
        const TStoredText Stored(Byte);
        EXPECT_EQ(Stored.BytesFor(Stored.Shown()), Byte) << Value;
        ASSERT_EQ(Stored.Shown().size(), 1) << Value;
        if (!Characters.contains(Stored.Shown()))
            Characters += Stored.Shown();
        const std::string Shown = DisplayText(Stored.Shown().toStdString());
        EXPECT_EQ(ServerDisplayText(Byte), Shown) << Value;
        EXPECT_EQ(HeaderDisplayText(Byte), Shown) << Value;
    }
    EXPECT_EQ(Characters.size(), 256);
}
