#pragma once

// The clock's heartbeat as plain logic, callable without a window.
//
// MinuteWatch notices when the minute of the local time changes between readings,
// MsecsToNextReading says when to read it again, and MinuteTick decides what one minute tick does:
// whether the time is spoken, and whether a mail check is started or only the program state
// refreshed. Nothing here throws.

#include <QString>
#include <QTime>

#include <optional>

// Follows the minute of the local time from one reading to the next. It starts with no recorded
// minute, and Forget() returns it there; the first reading then reports a change whatever its
// minute. This is the rule for the first tick after the clock starts: the minute in progress gets
// its tick at once, minute 0 included, and that tick decides as every other one does. So a
// program started at 11:00 checks mail (or refreshes its state, and with "Hourly" says the time)
// at once, just as one started at 11:03 or 11:15 does, instead of waiting for 11:01. An invalid
// time is ignored.
class MinuteWatch {
public:
    // Records the minute of `now` and says whether it differs from the one recorded before.
    bool Take(QTime now);
    void Forget() { FRecordedMinute.reset(); }
    std::optional<int> RecordedMinute() const { return FRecordedMinute; }

private:
    std::optional<int> FRecordedMinute;
};

// How long after `now` (local time) the clock next needs to read the time: at the start of the
// next second while its second hand is on screen, otherwise at the start of the next minute.
// Always 1 ms or more.
qint64 MsecsToNextReading(QTime now, bool everySecond);

enum class TickAction { RunMailCheck, CheckProgramState };

struct MinuteTickDecision {
    bool Speak;        // call SayTime first
    TickAction Action; // then exactly this one

    friend bool operator==(const MinuteTickDecision&, const MinuteTickDecision&) = default;
};

// Items of the "Speak Time" choice; any other index (-1 for no selection) never speaks.
enum SpeakTimeIndex { SpeakHourly = 0, Speak15Mins = 1, Speak30Mins = 2, SpeakNever = 3 };

constexpr int MinCheckInterval = 1;
constexpr int MaxCheckInterval = 60;

// The interval that the "Check Interval (min)" field stands for at this moment, given the text it
// shows and the last value it held that was in range. An empty, non-numeric or negative text and
// 0 count as the last valid value; a number above 60 (typed, not yet corrected) counts as 60,
// which makes the check run at minute 0 only. The result is always 1..60.
int EffectiveCheckInterval(const QString& fieldText, int lastValidValue);

// One minute tick at minute (0..59) of the hour. checkInterval is 1..60 (see
// EffectiveCheckInterval); values outside are brought to the nearest bound.
MinuteTickDecision MinuteTick(int minute, int speakTimeIndex, bool emailCheckChecked,
                              int checkInterval);

// The same, reading the interval from the field's text and its last valid value.
MinuteTickDecision MinuteTick(int minute, int speakTimeIndex, bool emailCheckChecked,
                              const QString& checkIntervalText, int lastValidCheckInterval);
