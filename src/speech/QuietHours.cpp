#include "speech/QuietHours.h"

#include "platform/dnd/DoNotDisturb.h"

#include <QRegularExpression>

QTime ParseClockText(const QString& text) {
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,2}):(\\d{2})\\s*$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return {};
    return QTime(m.captured(1).toInt(), m.captured(2).toInt()); // invalid when out of range
}

TQuietHours TQuietHours::FromSettings(const QString& enabled, const QString& from,
                                      const QString& to) {
    TQuietHours quiet;
    quiet.Enabled = enabled.trimmed() == QLatin1String("1");
    if (const QTime t = ParseClockText(from); t.isValid())
        quiet.From = t;
    if (const QTime t = ParseClockText(to); t.isValid())
        quiet.To = t;
    return quiet;
}

bool TQuietHours::Contains(QTime time) const {
    if (!Enabled || !time.isValid())
        return false;
    const int minute = time.hour() * 60 + time.minute();
    const int from = From.hour() * 60 + From.minute();
    const int to = To.hour() * 60 + To.minute();
    if (from <= to)
        return minute >= from && minute < to; // from = to: empty
    return minute >= from || minute < to;     // across midnight
}

bool MaySpeak(QTime now, const TQuietHours& quiet, bool doNotDisturb, TSpeechOccasion occasion) {
    if (occasion == TSpeechOccasion::Asked)
        return true;
    return !quiet.Contains(now) && !doNotDisturb;
}

bool SpeechAllowedNow(const TQuietHours& quiet, TSpeechOccasion occasion) {
    if (occasion == TSpeechOccasion::Asked)
        return true;
    const QTime now = QTime::currentTime();
    if (quiet.Contains(now))
        return false; // no need to ask the desktop
    return MaySpeak(now, quiet, platform::DoNotDisturbOn(), occasion);
}
