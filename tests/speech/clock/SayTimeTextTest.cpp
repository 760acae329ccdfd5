#include "speech/SayTimeText.h"

#include "platform/TimeFormat.h"

#include <gtest/gtest.h>

TEST(SayTimeText, GreetingOnlyWithAName) {
    EXPECT_EQ(SayTimeText(QString(), QStringLiteral("10:05")), QStringLiteral("The time is 10:05"));
    EXPECT_EQ(SayTimeText(QStringLiteral("Master"), QStringLiteral("10:05 AM")),
              QStringLiteral("Hello Master.  The time is 10:05 AM"));
    // The name is used as typed; only an empty one drops the greeting.
    EXPECT_EQ(SayTimeGreeting(QStringLiteral(" ")), QStringLiteral("Hello  .  "));
}

TEST(SayTimeText, StripsSpacesOnly) {
    EXPECT_EQ(SayTimeText(QString(), QStringLiteral("  9:05 PM  ")),
              QStringLiteral("The time is 9:05 PM"));
    EXPECT_EQ(StripSpaces(QStringLiteral("\t9:05\n")), QStringLiteral("\t9:05\n"));
    EXPECT_EQ(StripSpaces(QStringLiteral("\u00a09:05 ")), QStringLiteral("\u00a09:05"));
    EXPECT_EQ(StripSpaces(QStringLiteral("   ")), QString());
    EXPECT_EQ(StripSpaces(QStringLiteral("9 05")), QStringLiteral("9 05"));
}

TEST(SayTimeText, FormatsTheTimeForSpeaking) {
    const QLocale c = QLocale::c();
    EXPECT_EQ(SpokenTimeText(QTime(9, 5, 30), QStringLiteral("h:mm AP"), c),
              QStringLiteral("9:05 AM"));
    EXPECT_EQ(SpokenTimeText(QTime(21, 5, 30), QStringLiteral(" HH:mm:ss "), c),
              QStringLiteral("21:05:30"));
    EXPECT_EQ(SpokenTimeText(QTime(0, 0), QStringLiteral("h:mm ap"), c),
              QStringLiteral("12:00 am"));
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(SpokenTimeText(QTime(7, 45), german.timeFormat(QLocale::ShortFormat), german),
              QStringLiteral("07:45"));
}

TEST(SayTimeText, SpeakingSwitchesTheLongFormatToTheShortOne) {
    const QString shortFormat = WithoutSeconds(QLocale::system().timeFormat(QLocale::ShortFormat));
    ASSERT_EQ(SpokenTimeFormat(), shortFormat);

    const QTime before = QTime::currentTime();
    const QString text = SayTimeTextNow(QStringLiteral("Ann"));
    const QTime after = QTime::currentTime();

    EXPECT_EQ(platform::LongTimeFormat(), shortFormat);
    const QString prefix = QStringLiteral("Hello Ann.  The time is ");
    ASSERT_TRUE(text.startsWith(prefix)) << text.toStdString();
    const QString spoken = text.mid(prefix.size());
    EXPECT_TRUE(spoken == SpokenTimeText(before, shortFormat) ||
                spoken == SpokenTimeText(after, shortFormat))
        << spoken.toStdString();

    // The switch lasts: a later change elsewhere is overridden again on the next spoken time.
    platform::SetLongTimeFormat(QStringLiteral("HH:mm:ss"));
    SayTimeTextNow(QString());
    EXPECT_EQ(platform::LongTimeFormat(), shortFormat);
}

TEST(SayTimeText, SpokenFormatHasNoSeconds) {
    EXPECT_EQ(WithoutSeconds("HH:mm:ss"), "HH:mm");
    EXPECT_EQ(WithoutSeconds("h:mm:ss AP"), "h:mm AP");
    EXPECT_EQ(WithoutSeconds("h:mm AP"), "h:mm AP");
    EXPECT_EQ(WithoutSeconds("HH.mm.ss"), "HH.mm");
}
