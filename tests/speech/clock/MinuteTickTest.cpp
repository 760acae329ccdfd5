#include "speech/MinuteTick.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

struct HourPlan {
    std::set<int> Spoken;
    std::set<int> Checked;
};

HourPlan PlanOfHour(int speakTimeIndex, bool emailCheck, int interval) {
    HourPlan plan;
    for (int m = 0; m < 60; ++m) {
        const MinuteTickDecision d = MinuteTick(m, speakTimeIndex, emailCheck, interval);
        if (d.Speak) {
            plan.Spoken.insert(m);
        }
        if (d.Action == TickAction::RunMailCheck) {
            plan.Checked.insert(m);
        }
    }
    return plan;
}

std::set<int> MultiplesOf(int step) {
    std::set<int> result;
    for (int m = 0; m < 60; m += step) {
        result.insert(m);
    }
    return result;
}

} // namespace

TEST(MinuteTick, FifteenMinutesWithSevenMinuteChecks) {
    const HourPlan plan = PlanOfHour(Speak15Mins, true, 7);
    EXPECT_EQ(plan.Spoken, (std::set<int>{0, 15, 30, 45}));
    EXPECT_EQ(plan.Checked, (std::set<int>{0, 7, 14, 21, 28, 35, 42, 49, 56}));
    // The interval divides the minute of the hour: the last gap is 4 minutes, every hour alike.
    EXPECT_EQ(60 - *plan.Checked.rbegin(), 4);
    for (int minute = 60; minute < 180; ++minute) {
        EXPECT_EQ(MinuteTick(minute, Speak15Mins, true, 7), MinuteTick(minute % 60, 1, true, 7));
    }
}

TEST(MinuteTick, IntervalsThatDoNotDivideTheHour) {
    EXPECT_EQ(PlanOfHour(SpeakHourly, true, 60).Checked, (std::set<int>{0}));
    EXPECT_EQ(PlanOfHour(SpeakHourly, true, 45).Checked, (std::set<int>{0, 45}));
    EXPECT_EQ(PlanOfHour(SpeakHourly, true, 1).Checked, MultiplesOf(1));
    EXPECT_EQ(PlanOfHour(SpeakHourly, true, 3).Checked, MultiplesOf(3));
}

TEST(MinuteTick, SpeakTimeChoices) {
    EXPECT_EQ(PlanOfHour(SpeakHourly, false, 3).Spoken, (std::set<int>{0}));
    EXPECT_EQ(PlanOfHour(Speak15Mins, false, 3).Spoken, (std::set<int>{0, 15, 30, 45}));
    EXPECT_EQ(PlanOfHour(Speak30Mins, false, 3).Spoken, (std::set<int>{0, 30}));
    for (int never : {int(SpeakNever), -1, 4}) {
        const HourPlan plan = PlanOfHour(never, true, 5);
        EXPECT_TRUE(plan.Spoken.empty()) << never;
        EXPECT_EQ(plan.Checked, MultiplesOf(5)) << "the tick still acts with index " << never;
    }
}

TEST(MinuteTick, FullHourSpeaksThenChecks) {
    EXPECT_EQ(MinuteTick(0, SpeakHourly, true, 3),
              (MinuteTickDecision{true, TickAction::RunMailCheck}));
    EXPECT_EQ(MinuteTick(0, SpeakHourly, false, 3),
              (MinuteTickDecision{true, TickAction::CheckProgramState}));
    EXPECT_EQ(MinuteTick(17, SpeakHourly, true, 3),
              (MinuteTickDecision{false, TickAction::CheckProgramState}));
    EXPECT_EQ(MinuteTick(18, SpeakHourly, true, 3),
              (MinuteTickDecision{false, TickAction::RunMailCheck}));
}

TEST(MinuteTick, CheckingOffOnlyRefreshesTheState) {
    EXPECT_TRUE(PlanOfHour(Speak15Mins, false, 1).Checked.empty());
}

TEST(MinuteTick, IntervalOutsideTheFieldRangeIsBroughtToItsBound) {
    EXPECT_EQ(PlanOfHour(SpeakHourly, true, 0).Checked, MultiplesOf(1));
    EXPECT_EQ(PlanOfHour(SpeakHourly, true, 500).Checked, (std::set<int>{0}));
}

TEST(EffectiveCheckInterval, TextOfTheField) {
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("12"), 7), 12);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral(" 12 "), 7), 12);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("007"), 3), 7);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("60"), 7), 60);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("1"), 7), 1);
}

TEST(EffectiveCheckInterval, FieldBeingEdited) {
    // Cleared or holding something that is not a number: the last valid value stands.
    EXPECT_EQ(EffectiveCheckInterval(QString(), 7), 7);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("  "), 7), 7);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("1x"), 7), 7);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("-5"), 7), 7);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("\u0663"), 7), 7); // a non-ASCII digit
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("0"), 7), 7);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("00"), 7), 7);
    // Above the range and not yet left: one hour, however large the number.
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("61"), 7), 60);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("600"), 7), 60);
    EXPECT_EQ(EffectiveCheckInterval(QStringLiteral("99999999999999999999999"), 7), 60);
    // A last valid value out of range cannot come from the field; it is bounded all the same.
    EXPECT_EQ(EffectiveCheckInterval(QString(), 0), 1);
    EXPECT_EQ(EffectiveCheckInterval(QString(), 100), 60);
}

TEST(MinuteTick, WholeHourWhileTheIntervalIsRetyped) {
    // The user replaces 7 by 15 during the hour: emptied at minute 10, "1" at 20, "15" at 30,
    // then "150" at 40 before the field corrects it.
    std::vector<int> checked;
    for (int m = 0; m < 60; ++m) {
        QString text = QStringLiteral("7");
        int lastValid = 7;
        if (m >= 10) {
            text.clear();
        }
        if (m >= 20) {
            text = QStringLiteral("1");
            lastValid = 1;
        }
        if (m >= 30) {
            text = QStringLiteral("15");
            lastValid = 15;
        }
        if (m >= 40) {
            text = QStringLiteral("150");
        }
        if (MinuteTick(m, SpeakNever, true, text, lastValid).Action == TickAction::RunMailCheck) {
            checked.push_back(m);
        }
    }
    std::vector<int> expected{0, 7, 14};
    for (int m = 20; m < 30; ++m) {
        expected.push_back(m);
    }
    expected.push_back(30);
    EXPECT_EQ(checked, expected);
    EXPECT_EQ(MinuteTick(0, SpeakNever, true, QStringLiteral("150"), 15).Action,
              TickAction::RunMailCheck);
}

// The record starts at minute 0: the first reading ticks at once unless its minute is 0.
TEST(MinuteWatch, FirstReadingTicksUnlessTheMinuteIsZero) {
    for (const int minute : {0, 17, 59}) {
        MinuteWatch watch;
        EXPECT_EQ(watch.RecordedMinute(), 0);
        EXPECT_EQ(watch.Take(QTime(10, minute, 5)), minute != 0) << minute;
        EXPECT_FALSE(watch.Take(QTime(10, minute, 59, 999))) << minute;
        EXPECT_TRUE(watch.Take(QTime(10, (minute + 1) % 60, 0))) << minute;
    }
}

TEST(MinuteWatch, ClockSetBackAndInvalidTimes) {
    MinuteWatch watch;
    EXPECT_TRUE(watch.Take(QTime(10, 30, 0)));
    EXPECT_TRUE(watch.Take(QTime(10, 29, 59)));
    EXPECT_FALSE(watch.Take(QTime()));
    EXPECT_EQ(watch.RecordedMinute(), 29);
}

// Reading the clock whenever it says to, over a day from an odd moment: one change per minute,
// each read when its minute begins, and one reading a minute (or a second) and no more.
TEST(MinuteWatch, OneChangePerMinuteOverADay) {
    for (const bool everySecond : {false, true}) {
        MinuteWatch watch;
        QTime now(0, 0, 7, 333);
        int readings = 0;
        int changes = 0;
        for (qint64 elapsed = 0; elapsed < 24LL * 3600 * 1000 - 7333;) {
            ++readings;
            if (watch.Take(now)) {
                ++changes;
                if (changes > 1) {
                    ASSERT_EQ(now, QTime(now.hour(), now.minute())) << everySecond;
                }
            }
            const qint64 wait = MsecsToNextReading(now, everySecond);
            ASSERT_GE(wait, 1);
            elapsed += wait;
            now = now.addMSecs(int(wait));
        }
        // The first reading, in minute 0, is no change: 00:01 is the first.
        EXPECT_EQ(changes, 24 * 60 - 1) << everySecond;
        EXPECT_EQ(readings, everySecond ? 24 * 3600 - 7 : 24 * 60) << everySecond;
    }
}

TEST(MinuteWatch, NextReading) {
    struct Case {
        QTime Now;
        bool EverySecond;
        qint64 Wait;
    };
    for (const Case& c :
         {Case{QTime(10, 17, 5, 250), false, 54750}, Case{QTime(10, 17, 5, 250), true, 750},
          Case{QTime(10, 17, 59, 999), false, 1}, Case{QTime(10, 17), false, 60000},
          Case{QTime(23, 59, 59, 500), false, 500}, Case{QTime(10, 17), true, 1000},
          Case{QTime(), false, 1000}}) {
        EXPECT_EQ(MsecsToNextReading(c.Now, c.EverySecond), c.Wait)
            << c.Now.toString("hh:mm:ss.zzz").toStdString() << " " << c.EverySecond;
    }
}
