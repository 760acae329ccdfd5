#pragma once

// The clock's heartbeat as plain logic, callable without a window.
//
// MinuteWatch notices when the minute of the local time changes between readings,
// MsecsToNextReading says when to read it again, and MinuteTick decides what one minute tick does:
// whether the time is spoken, and whether a mail check is started or only the program state
// refreshed. Nothing here throws.

#include <QString>
#include <QTime>

// Follows the minute of the hour from one reading of the local time to the next; the clock raises
// its minute event when a reading reports a change. The recorded minute starts at 0, as if minute
// 0 had been read already: the first reading after the clock starts reports a change unless the
// current minute is 0. So a program started at 10:17 gets its first tick at once, and one started
// at 11:00 gets it at 11:01, not at 11:00.
//
// A minute is ticked once. The record outlives a stop of the clock: a clock stopped and started
// again within the minute it last ticked (a close that was abandoned, for instance) does not tick
// that minute again; one started in a minute of another number ticks at once. An invalid time is
// ignored.
class MinuteWatch {
public:
    // Records the minute of `now` and says whether it differs from the one recorded before.
    bool Take(QTime now);
    int RecordedMinute() const { return FRecordedMinute; }

private:
    int FRecordedMinute = 0;
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
