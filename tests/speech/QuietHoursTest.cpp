#include "speech/QuietHours.h"

#include "QtGtest.h"

#include <gtest/gtest.h>

namespace {

// The day as MaySpeak sees it, minute by minute from 00:00: whether it may
// speak at midnight, then each minute where that changes ("07:00 speak").
QStringList Day(const TQuietHours& quiet, bool doNotDisturb, TSpeechOccasion occasion) {
    QStringList day;
    bool before = false;
    for (int minute = 0; minute < 24 * 60; ++minute) {
        const QTime time(minute / 60, minute % 60);
        // Seconds do not matter: the last second of a minute decides alike.
        const bool speaks = MaySpeak(time, quiet, doNotDisturb, occasion);
        EXPECT_EQ(MaySpeak(time.addSecs(59), quiet, doNotDisturb, occasion), speaks);
        if (minute == 0 || speaks != before)
            day << time.toString(QStringLiteral("HH:mm")) + (speaks ? " speak" : " quiet");
        before = speaks;
    }
    return day;
}

TQuietHours Quiet(const char* from, const char* to) {
    return TQuietHours::FromSettings(QStringLiteral("1"), QString::fromLatin1(from),
                                     QString::fromLatin1(to));
}

TEST(QuietHours, WholeDays) {
    const auto own = TSpeechOccasion::OwnAccord;
    struct TCase {
        TQuietHours Hours;
        bool DoNotDisturb;
        QStringList Expected;
    };
    for (const TCase& c : std::initializer_list<TCase>{
             {TQuietHours(), false, {"00:00 speak"}}, // switched off
             {Quiet("22:00", "07:00"), false, {"00:00 quiet", "07:00 speak", "22:00 quiet"}},
             {Quiet("11:30", "11:59"), false, {"00:00 speak", "11:30 quiet", "11:59 speak"}},
             {Quiet("00:00", "23:59"), false, {"00:00 quiet", "23:59 speak"}},
             {Quiet("23:59", "00:00"), false, {"00:00 speak", "23:59 quiet"}},
             {Quiet("10:00", "10:00"), false, {"00:00 speak"}}, // from = to: never quiet
             {TQuietHours(), true, {"00:00 quiet"}},            // do-not-disturb alone
             {Quiet("10:00", "10:00"), true, {"00:00 quiet"}},
         })
        EXPECT_EQ(Day(c.Hours, c.DoNotDisturb, own), c.Expected)
            << c.Hours.From.toString().toStdString() << "-" << c.Hours.To.toString().toStdString();
    // What the user asks for is spoken whatever the hour and the desktop say.
    EXPECT_EQ(Day(Quiet("22:00", "07:00"), true, TSpeechOccasion::Asked),
              QStringList({"00:00 speak"}));
}

TEST(QuietHours, StoredValuesAreReadWithTheirDefaults) {
    struct TCase {
        const char *Enabled, *From, *To;
        bool On;
        QTime ExpectedFrom, ExpectedTo;
    };
    for (const TCase& c : std::initializer_list<TCase>{
             {"1", "21:15", "6:05", true, {21, 15}, {6, 5}},
             {"0", "21:15", "06:05", false, {21, 15}, {6, 5}},
             {"", "", "", false, {22, 0}, {7, 0}},
             {"1", "24:00", "7", true, {22, 0}, {7, 0}},
             {"1", "07:60", "7:5", true, {22, 0}, {7, 0}},
             {"1", " 08:00 ", "aa:bb", true, {8, 0}, {7, 0}},
         }) {
        const TQuietHours q = TQuietHours::FromSettings(
            QString::fromLatin1(c.Enabled), QString::fromLatin1(c.From), QString::fromLatin1(c.To));
        EXPECT_EQ(q.Enabled, c.On) << c.Enabled;
        EXPECT_EQ(q.From, c.ExpectedFrom) << c.From;
        EXPECT_EQ(q.To, c.ExpectedTo) << c.To;
    }
}

} // namespace
