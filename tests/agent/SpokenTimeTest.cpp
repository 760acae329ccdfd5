#include "agent/SpokenTime.h"

#include "QtGtest.h"

#include <QHash>
#include <QSet>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Reads the words back into a time of day, knowing nothing of how they were
// made: a listener's ear. Returns nothing for words a clock would not say.
struct THeard {
    int Hour = -1; // 0..23 where the words tell the half of the day, else 1..12
    int Minute = -1;
    bool HalfSaid = false;
};

std::optional<THeard> Hear(const QString& words) {
    static const QHash<QString, int> numbers{
        {"one", 1},      {"two", 2},        {"three", 3},     {"four", 4},      {"five", 5},
        {"six", 6},      {"seven", 7},      {"eight", 8},     {"nine", 9},      {"ten", 10},
        {"eleven", 11},  {"twelve", 12},    {"thirteen", 13}, {"fourteen", 14}, {"fifteen", 15},
        {"sixteen", 16}, {"seventeen", 17}, {"eighteen", 18}, {"nineteen", 19}, {"twenty", 20},
        {"thirty", 30},  {"forty", 40},     {"fifty", 50}};
    auto number = [&](const QString& word) -> int {
        int total = 0;
        for (const QString& part : word.split(u'-')) {
            if (!numbers.contains(part))
                return -1;
            total += numbers[part];
        }
        return total;
    };
    if (words == QLatin1String("midnight"))
        return THeard{0, 0, true};
    if (words == QLatin1String("twelve o'clock noon"))
        return THeard{12, 0, true};
    QStringList w = words.split(u' ');
    THeard heard;
    if (w.size() == 3 || w.size() == 4) {
        if (w.last() == QLatin1String("A.M.") || w.last() == QLatin1String("P.M.")) {
            heard.HalfSaid = true;
            const bool pm = w.takeLast() == QLatin1String("P.M.");
            heard.Hour = pm ? 12 : 0;
        }
    }
    if (w.size() < 2 || w.size() > 3)
        return std::nullopt;
    const int hour = number(w[0]);
    if (hour < 1 || hour > 12)
        return std::nullopt;
    if (w.size() == 3 && w[1] == QLatin1String("oh"))
        heard.Minute = number(w[2]) < 10 ? number(w[2]) : -1;
    else if (w.size() == 2 && w[1] == QLatin1String("o'clock"))
        heard.Minute = 0;
    else if (w.size() == 2 && number(w[1]) >= 10)
        heard.Minute = number(w[1]);
    if (heard.Minute < 0 || heard.Minute > 59)
        return std::nullopt;
    heard.Hour = heard.HalfSaid ? hour % 12 + heard.Hour : hour;
    return heard;
}

// Every minute of the day, for both kinds of clock: the words say exactly
// that time (with its half of the day), and no two minutes sound alike.
TEST(SpokenTime, EveryMinuteOfTheDayIsHeardAsItsOwnTime) {
    for (const TClockKind kind : {TClockKind::TwelveHour, TClockKind::TwentyFourHour}) {
        QSet<QString> said;
        for (int minuteOfDay = 0; minuteOfDay < 24 * 60; ++minuteOfDay) {
            const QTime time(minuteOfDay / 60, minuteOfDay % 60);
            const QString words = SpokenClockTime(time, kind);
            const std::optional<THeard> heard = Hear(words);
            ASSERT_TRUE(heard) << words.toStdString();
            ASSERT_TRUE(heard->HalfSaid) << words.toStdString();
            ASSERT_EQ(QTime(heard->Hour, heard->Minute), time) << words.toStdString();
            said.insert(words);
        }
        EXPECT_EQ(said.size(), 24 * 60);
    }
}

TEST(SpokenTime, TheFormsOfATalkingClock) {
    struct TCase {
        int Hour, Minute;
        TClockKind Kind;
        const char* Words;
    };
    const TClockKind twelve = TClockKind::TwelveHour, twentyFour = TClockKind::TwentyFourHour;
    for (const TCase& c : std::initializer_list<TCase>{
             {11, 0, twentyFour, "eleven o'clock A.M."},
             {11, 5, twentyFour, "eleven oh five A.M."},
             {11, 15, twentyFour, "eleven fifteen A.M."},
             {13, 21, twentyFour, "one twenty-one P.M."},
             {12, 0, twentyFour, "twelve o'clock noon"},
             {0, 0, twentyFour, "midnight"},
             {0, 5, twentyFour, "twelve oh five A.M."},
             {12, 59, twentyFour, "twelve fifty-nine P.M."},
             {11, 5, twelve, "eleven oh five A.M."},
             {12, 0, twelve, "twelve o'clock P.M."},
             {0, 0, twelve, "twelve o'clock A.M."},
             {23, 40, twelve, "eleven forty P.M."},
         })
        EXPECT_EQ(SpokenClockTime(QTime(c.Hour, c.Minute), c.Kind), QString::fromUtf8(c.Words))
            << c.Hour << ":" << c.Minute;
}

TEST(SpokenTime, TimesAreFoundInASentenceOnlyWhereTheyStandAlone) {
    TClockStyle twelve = TClockStyle::FromLocale(QLocale(QStringLiteral("en_US")));
    TClockStyle twentyFour = TClockStyle::FromLocale(QLocale::c());
    TClockStyle finnish = TClockStyle::FromLocale(QLocale(QStringLiteral("fi_FI"))); // "H.mm"
    // "HH 'h' mm": the quoted h is text, not a 12-hour clock.
    TClockStyle canadian = TClockStyle::FromLocale(QLocale(QStringLiteral("fr_CA")));
    struct TCase {
        const TClockStyle* Style;
        const char* Text;
        QStringList Found; // time, words, time, words, ...
    };
    for (const TCase& c : std::initializer_list<TCase>{
             {&twelve, "The time is 1:21 PM", {"1:21 PM", "one twenty-one P.M."}},
             {&twelve, "at 9:05 a.m. sharp", {"9:05 a.m.", "nine oh five A.M."}},
             {&twelve, "at 9:05pm.", {"9:05pm.", "nine oh five P.M."}},
             {&twelve, "9:05 or 18:30", {"9:05", "nine oh five", "18:30", "six thirty P.M."}},
             {&twentyFour,
              "from 09:05 to 00:00.",
              {"09:05", "nine oh five A.M.", "00:00", "midnight"}},
             {&twentyFour, "at 09:05. Then", {"09:05.", "nine oh five A.M."}},
             {&twentyFour, "at 11:00:01", {"11:00:01", "eleven o'clock A.M. and one second"}},
             {&twentyFour,
              "at 23:59:30!",
              {"23:59:30", "eleven fifty-nine P.M. and thirty seconds"}},
             {&twentyFour, "11:05 amazing", {"11:05", "eleven oh five A.M."}},
             {&finnish, "kello 14.05", {"14.05", "two oh five P.M."}},
             {&canadian, "at 9:05", {"9:05", "nine oh five A.M."}},
             {&twentyFour, "14.05 is a number here", {}},
             {&twentyFour, "1:00:00:00 12:345 v1.2:30 25:00 13:00 PM 3:7 10:60 a12:30 12:30.5", {}},
         }) {
        QStringList found;
        const QString text = QString::fromUtf8(c.Text);
        for (const TClockTimeMatch& m : FindClockTimes(text, *c.Style))
            found << text.mid(m.Start, m.Length) << m.Words;
        EXPECT_EQ(found, c.Found) << c.Text;
    }
}

} // namespace
