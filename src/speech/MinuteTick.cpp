#include "speech/MinuteTick.h"

#include <algorithm>

bool MinuteWatch::Take(QTime now) {
    if (!now.isValid()) {
        return false;
    }
    const bool changed = now.minute() != FRecordedMinute;
    FRecordedMinute = now.minute();
    return changed;
}

qint64 MsecsToNextReading(QTime now, bool everySecond) {
    if (!now.isValid()) {
        return 1000;
    }
    const qint64 intoSecond = now.msec();
    const qint64 untilNextSecond = 1000 - intoSecond;
    return everySecond ? untilNextSecond : untilNextSecond + (59 - now.second()) * 1000;
}

int EffectiveCheckInterval(const QString& fieldText, int lastValidValue) {
    const int lastValid = std::clamp(lastValidValue, MinCheckInterval, MaxCheckInterval);
    QString digits = fieldText.trimmed();
    if (digits.startsWith(u'+')) {
        digits.remove(0, 1);
    }
    if (digits.isEmpty() || !std::all_of(digits.cbegin(), digits.cend(),
                                         [](QChar c) { return c >= u'0' && c <= u'9'; })) {
        return lastValid;
    }
    // Any digit string is a number, however long; a long one is simply above the range.
    while (digits.size() > 1 && digits.front() == u'0') {
        digits.remove(0, 1);
    }
    if (digits.size() > 2) {
        return MaxCheckInterval;
    }
    const int value = digits.toInt();
    if (value == 0) {
        return lastValid; // the modulo by 0 has no meaning; keep checking as before
    }
    return std::min(value, MaxCheckInterval);
}

static bool SpeaksAt(int minute, int speakTimeIndex) {
    switch (speakTimeIndex) {
    case SpeakHourly:
        return minute == 0;
    case Speak15Mins:
        return minute % 15 == 0;
    case Speak30Mins:
        return minute % 30 == 0;
    default:
        return false;
    }
}

MinuteTickDecision MinuteTick(int minute, int speakTimeIndex, bool emailCheckChecked,
                              int checkInterval) {
    const int m = ((minute % 60) + 60) % 60;
    const int interval = std::clamp(checkInterval, MinCheckInterval, MaxCheckInterval);
    const bool check = emailCheckChecked && m % interval == 0;
    return {SpeaksAt(m, speakTimeIndex),
            check ? TickAction::RunMailCheck : TickAction::CheckProgramState};
}

MinuteTickDecision MinuteTick(int minute, int speakTimeIndex, bool emailCheckChecked,
                              const QString& checkIntervalText, int lastValidCheckInterval) {
    return MinuteTick(minute, speakTimeIndex, emailCheckChecked,
                      EffectiveCheckInterval(checkIntervalText, lastValidCheckInterval));
}
