#pragma once

// The clock's heartbeat as plain logic, callable without a window.
//
// MinuteWatch notices when the minute of the local time changes between samples; MinuteTick
// decides what one minute tick does: whether the time is spoken, and whether a mail check is
// started or only the program state refreshed. Nothing here throws.

#include <QString>
#include <QTime>

#include <functional>

// Samples a time source and reports each change of the minute. The recorded minute starts at 0,
// so the first sample reports a change unless the clock reads minute 0; a source that returns
// an invalid time is ignored (no change, nothing recorded).
class MinuteWatch {
public:
    using TimeSource = std::function<QTime()>;

    struct Sample {
        QTime Time;         // the time that was read (may be invalid if the source failed)
        bool MinuteChanged; // the minute differs from the one recorded before this sample
    };

    // An empty source means the local wall clock.
    explicit MinuteWatch(TimeSource source = {});

    // Reads the source once, records its minute and says whether it changed.
    Sample Take();
    // Reads the source without recording anything (for display).
    QTime Now() const;

    int RecordedMinute() const { return FRecordedMinute; }
    void SetTimeSource(TimeSource source);

private:
    TimeSource FSource;
    int FRecordedMinute = 0;
};

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
