#include "agent/SpeechMarkup.h"
#include "agent/SpeechEngine.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace {

QString Body(const TSpeechMarkup& m) {
    // The SSML between <speak> and </speak>.
    return m.Ssml.mid(7, m.Ssml.size() - 7 - 8);
}

TEST(SpeechMarkup, PlainTextIsSpokenAndShownAsItIs) {
    const TSpeechMarkup m = TranslateSpeechMarkup(QStringLiteral("You have 3 new messages"));
    EXPECT_EQ(m.Ssml, QStringLiteral("<speak>You have 3 new messages</speak>"));
    EXPECT_EQ(m.Shown, QStringLiteral("You have 3 new messages"));
    EXPECT_EQ(m.Spoken, m.Shown);
}

TEST(SpeechMarkup, ClockTimesAreSpokenInWordsWhileTheBalloonKeepsTheDigits) {
    TClockStyle twelveHour;
    twelveHour.Kind = TClockKind::TwelveHour;
    const TSpeechMarkup m =
        TranslateSpeechMarkup(QStringLiteral("Hello Ann.  The time is 9:05 PM"), twelveHour);
    EXPECT_EQ(m.Shown, QStringLiteral("Hello Ann.  The time is 9:05 PM"));
    EXPECT_EQ(m.Spoken, QStringLiteral("Hello Ann.  The time is nine oh five P.M."));
    EXPECT_EQ(Body(m), QStringLiteral("Hello Ann.  The time is nine oh five P.M."));
    // Each spoken word of the time reveals the whole time in the balloon.
    const int firstWord = int(m.Ssml.indexOf(QStringLiteral("nine"))) + 1;
    const int lastWord = int(m.Ssml.indexOf(QStringLiteral("P.M."))) + 1;
    EXPECT_EQ(m.RevealEnd(firstWord, 4), m.Shown.size());
    EXPECT_EQ(m.RevealEnd(lastWord, 4), m.Shown.size());
    EXPECT_EQ(TranslateSpeechMarkup(QStringLiteral("at 12:00.")).Spoken,
              QStringLiteral("at twelve o'clock noon."));
}

TEST(SpeechMarkup, MailTextKeepsItsTimesAndCannotLeaveTheMailContext) {
    // As announcements are written: sender and subject follow the e-mail
    // context, and every backslash of theirs is doubled.
    const QString text = QStringLiteral(
        "The time is 10:00.  The message is from \\Ctx=e-mail\\ann@x.org.   \\pau=200\\"
        "Subject: Lunch at 12:30 \\\\Ctx=normal\\\\ 13:00.");
    const TSpeechMarkup m = TranslateSpeechMarkup(text);
    EXPECT_TRUE(m.Spoken.startsWith(QStringLiteral("The time is ten o'clock A.M.  ")))
        << m.Spoken.toStdString();
    EXPECT_TRUE(m.Spoken.endsWith(QStringLiteral("Subject: Lunch at 12:30 \\Ctx=normal\\ 13:00.")))
        << m.Spoken.toStdString();
    // A program's own \Ctx=normal\ does end mail text.
    EXPECT_EQ(
        TranslateSpeechMarkup(QStringLiteral("\\Ctx=e-mail\\at 9:15\\Ctx=normal\\at 9:15")).Spoken,
        QStringLiteral("at 9:15at nine fifteen A.M."));
}

// One word as the balloon shows it, however the voice says it, and never past a blank.
TEST(SpeechMarkup, EmphasisWrapsTheNextWord) {
    const struct {
        QString Text;
        QString Body;
    } cases[] = {
        {"a \\Emp\\ really big deal", "a  <emphasis>really</emphasis> big deal"},
        {"\\emp\\one\u2003two", "<emphasis>one</emphasis>\u2003two"},
        {"\\emp\\\\pau=5\\ at 12:00", "<break time=\"5ms\"/> <emphasis>at</emphasis> "
                                      "twelve o&apos;clock noon"},
        {"at \\emp\\12:00 today", "at <emphasis>twelve o&apos;clock noon</emphasis> today"},
        {"nothing follows \\emp\\ ", "nothing follows  "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Body(TranslateSpeechMarkup(c.Text)).toStdString(), c.Body.toStdString());
    EXPECT_EQ(TranslateSpeechMarkup(QStringLiteral("a \\Emp\\ really big")).Shown,
              QStringLiteral("a  really big"));
}

TEST(SpeechMarkup, MarksStandBeforeEverySpokenWordAndRevealItInTheBalloon) {
    const TSpeechMarkup m = TranslateSpeechMarkup(
        QStringLiteral("Welcome to \\map=\"Tal Voro\"=\"Talvoro\"\\ at 11:05 \\pau=100\\ & bye"));
    EXPECT_EQ(m.MarkedSsml,
              QStringLiteral("<speak><mark name=\"w0\"/>Welcome <mark name=\"w1\"/>to "
                             "<mark name=\"w2\"/><sub alias=\"Tal Voro\">Talvoro</sub> "
                             "<mark name=\"w3\"/>at <mark name=\"w4\"/>eleven oh five A.M. "
                             "<break time=\"100ms\"/> <mark name=\"w5\"/>&amp; "
                             "<mark name=\"w6\"/>bye</speak>"));
    QStringList revealed;
    for (int i = 0; i < 7; ++i)
        revealed << m.Shown.left(m.RevealAtMark(QStringLiteral("w%1").arg(i)));
    EXPECT_EQ(revealed, QStringList({"Welcome", "Welcome to", "Welcome to Talvoro",
                                     "Welcome to Talvoro at", "Welcome to Talvoro at 11:05",
                                     "Welcome to Talvoro at 11:05  &", m.Shown}));
    EXPECT_EQ(m.RevealAtMark(QStringLiteral("w7")), -1);
    EXPECT_EQ(m.RevealAtMark(QStringLiteral("x1")), -1);
}

TEST(SpeechMarkup, MapSpeaksTheFirstTextAndShowsTheSecond) {
    const TSpeechMarkup m =
        TranslateSpeechMarkup(QStringLiteral("Welcome to \\map=\"Tal Voro\"=\"Talvoro\"\\"));
    EXPECT_EQ(Body(m), QStringLiteral("Welcome to <sub alias=\"Tal Voro\">Talvoro</sub>"));
    EXPECT_EQ(m.Shown, QStringLiteral("Welcome to Talvoro"));
}

TEST(SpeechMarkup, PauseBecomesABreakAndShowsNothing) {
    const TSpeechMarkup m = TranslateSpeechMarkup(QStringLiteral("One.  \\pau=200\\Two."));
    EXPECT_EQ(Body(m), QStringLiteral("One.  <break time=\"200ms\"/>Two."));
    EXPECT_EQ(m.Shown, QStringLiteral("One.  Two."));
    EXPECT_TRUE(TranslateSpeechMarkup(QStringLiteral("\\pau=999999\\"))
                    .Ssml.contains(QStringLiteral("time=\"10000ms\"")));
}

TEST(SpeechMarkup, TagsAreMatchedWithoutRegardToCase) {
    EXPECT_EQ(TranslateSpeechMarkup(QStringLiteral("a\\PAU=5\\b")).Shown, QStringLiteral("ab"));
    EXPECT_EQ(TranslateSpeechMarkup(QStringLiteral("\\Map=\"x\"=\"y\"\\")).Shown,
              QStringLiteral("y"));
}

TEST(SpeechMarkup, DoubleBackslashIsOneLiteralBackslash) {
    const TSpeechMarkup m = TranslateSpeechMarkup(QStringLiteral("C:\\\\Mail\\\\in"));
    EXPECT_EQ(m.Shown, QStringLiteral("C:\\Mail\\in"));
    EXPECT_EQ(Body(m), QStringLiteral("C:\\Mail\\in"));
    // A literal backslash does not open a tag.
    EXPECT_EQ(TranslateSpeechMarkup(QStringLiteral("\\\\pau=200\\\\")).Shown,
              QStringLiteral("\\pau=200\\"));
}

TEST(SpeechMarkup, ATagThatIsNotOursIsShownAndSpokenAsText) {
    const TSpeechMarkup m = TranslateSpeechMarkup(QStringLiteral("\\Vol=65535\\Loud"));
    EXPECT_EQ(m.Shown, QStringLiteral("\\Vol=65535\\Loud"));
    EXPECT_EQ(Body(m), QStringLiteral("\\Vol=65535\\Loud"));
    // A real tag after a foreign one, and after a lone backslash, is still obeyed.
    const TSpeechMarkup after =
        TranslateSpeechMarkup(QStringLiteral("\\Chr=\"x\"\\ a \\ b \\pau=100\\c"));
    EXPECT_EQ(after.Shown, QStringLiteral("\\Chr=\"x\"\\ a \\ b c"));
    EXPECT_TRUE(after.Ssml.contains(QStringLiteral("<break time=\"100ms\"/>")));
    // A pause tag with a bad number, or never closed, is plain text.
    EXPECT_EQ(TranslateSpeechMarkup(QStringLiteral("\\pau=-5\\")).Shown,
              QStringLiteral("\\pau=-5\\"));
    EXPECT_EQ(TranslateSpeechMarkup(QStringLiteral("end \\pau=200")).Shown,
              QStringLiteral("end \\pau=200"));
}

TEST(SpeechMarkup, EveryTextIsEscapedSoNothingBecomesMarkup) {
    const TSpeechMarkup m = TranslateSpeechMarkup(
        QStringLiteral("<break time=\"9s\"/> & 'x' \\map=\"<b>\"=\"a&b\"\\\x01"));
    EXPECT_EQ(m.Shown, QStringLiteral("<break time=\"9s\"/> & 'x' a&b\x01"));
    EXPECT_EQ(Body(m), QStringLiteral("&lt;break time=&quot;9s&quot;/&gt; &amp; &apos;x&apos; "
                                      "<sub alias=\"&lt;b&gt;\">a&amp;b</sub> "));
}

TEST(SpeechMarkup, EmailContextReadsAddressesAsWordsUpToTheNextTag) {
    const QString text = QStringLiteral(
        "The message is from \\Ctx=e-mail\\Jane Roe <jane.roe@mail-box.example.org>.   "
        "\\pau=200\\Subject: user_guide v2.0.");
    const TSpeechMarkup m = TranslateSpeechMarkup(text);
    EXPECT_EQ(m.Shown,
              QStringLiteral("The message is from Jane Roe "
                             "<jane.roe@mail-box.example.org>.   Subject: user_guide v2.0."));
    EXPECT_TRUE(m.Ssml.contains(
        QStringLiteral("alias=\"jane dot roe at mail dash box dot example dot org .\"")))
        << m.Ssml.toStdString();
    // The subject follows the pause and is ordinary text again.
    EXPECT_TRUE(m.Ssml.contains(QStringLiteral("Subject: user_guide v2.0.</speak>")));
}

TEST(SpeechMarkup, SpokenEmailText) {
    EXPECT_EQ(SpokenEmailText(QStringLiteral("a.b@example.org")),
              QStringLiteral("a dot b at example dot org"));
    EXPECT_EQ(SpokenEmailText(QStringLiteral("\"Doe, J.\" <first_last+news@x.co.uk>")),
              QStringLiteral("Doe, J. first underscore last plus news at x dot co dot uk"));
    EXPECT_EQ(SpokenEmailText(QStringLiteral("Jane Roe")), QStringLiteral("Jane Roe"));
}

TEST(SpeechMarkup, PositionsMapEveryCodePointOfTheSsml) {
    for (const QString& text :
         {QStringLiteral("Hello world"), QStringLiteral("Smile \U0001F600 & wave"),
          QStringLiteral("\\map=\"a\"=\"b\"\\ c \\pau=1\\ d \\\\ \\Ctx=e-mail\\x@y.z")}) {
        const TSpeechMarkup m = TranslateSpeechMarkup(text);
        EXPECT_EQ(m.ShownAt.size(), m.Ssml.toUcs4().size()) << text.toStdString();
        for (int at : m.ShownAt)
            EXPECT_TRUE(at >= 0 && at <= m.Shown.size());
    }
    const TSpeechMarkup m = TranslateSpeechMarkup(QStringLiteral("Hello big world"));
    // Positions as the engine counts them: 1-based, "<speak>" included.
    EXPECT_EQ(m.RevealEnd(8, 5), 5);
    EXPECT_EQ(m.RevealEnd(14, 3), 9);
    EXPECT_EQ(m.RevealEnd(18, 5), 15);
    EXPECT_EQ(m.RevealEnd(9999, 1), 15);
}

// The real engine's word events, mapped back, land on word ends of the shown
// text, in order, and reach its last word.
TEST(SpeechMarkup, EngineWordEventsRevealShownWords) {
    const TSpeechMarkup m = TranslateSpeechMarkup(QStringLiteral(
        "Welcome to \\map=\"Tal Voro\"=\"Talvoro\"\\ at 11:05 PM, from \\Ctx=e-mail\\"
        "a.b@example.org.  \\pau=200\\Bye & thanks."));
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::vector<int> reveals;
    TSpeechEngine::Instance().Speak(m.Ssml, TSpeechSettings(), [&](const TSpeechEvent& e) {
        std::lock_guard lock(mutex);
        if (e.Kind == TSpeechEvent::TKind::Word)
            reveals.push_back(m.RevealEnd(e.TextPosition, e.Length));
        if (e.Kind == TSpeechEvent::TKind::Finished) {
            done = true;
            finished.notify_all();
        }
    });
    std::unique_lock lock(mutex);
    ASSERT_TRUE(finished.wait_for(lock, std::chrono::seconds(20), [&] { return done; }));
    ASSERT_GE(reveals.size(), 5u);
    for (int r : reveals) {
        ASSERT_GT(r, 0);
        EXPECT_FALSE(m.Shown[r - 1].isSpace());
        EXPECT_TRUE(r == m.Shown.size() || m.Shown[r].isSpace());
    }
    EXPECT_EQ(*std::max_element(reveals.begin(), reveals.end()), m.Shown.size());
    // In step with the voice: never backwards, and the time appears as it is said.
    EXPECT_TRUE(std::is_sorted(reveals.begin(), reveals.end()));
    const int afterTime = int(m.Shown.indexOf(QStringLiteral("PM,"))) + 3;
    EXPECT_NE(std::find(reveals.begin(), reveals.end(), afterTime), reveals.end());
}

} // namespace
