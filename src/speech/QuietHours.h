#pragma once
// Quiet hours: "may I speak now?"
//
// Within quiet hours, and while the desktop's do-not-disturb is on, the
// program says nothing of its own accord: the minute tick does not speak the
// time and new mail is shown (tray picture, hint, balloon) but not read out.
// What the user asks for is still spoken: Time Now, the announcements of a
// Check Now, a message picked from Recent Messages, the wizard's Test.
//
// Quiet hours run from From up to, not including, To, to the minute: 22:00 to
// 07:00 is quiet from 22:00:00 through 06:59:59, across midnight. From = To is
// an empty range, not the whole day: a setting that cannot say which day it
// means never silences the clock (switch the time off with "Never" instead).
//
// MaySpeak is the one pure decision; SpeechAllowedNow asks the clock and the
// desktop. Nothing here throws.
#include <QString>
#include <QTime>

struct TQuietHours {
    bool Enabled = false;
    QTime From{22, 0};
    QTime To{7, 0};

    // From the stored values "CheckBoxQuietHours" ("1" on), "QuietHoursFrom"
    // and "QuietHoursTo" ("HH:MM"); a time that does not read as one keeps
    // its default.
    static TQuietHours FromSettings(const QString& enabled, const QString& from, const QString& to);
    // Whether the time of day (seconds ignored) lies in quiet hours; always
    // false when they are switched off.
    bool Contains(QTime time) const;
};

// "HH:MM" or "H:MM", 00:00 to 23:59; an invalid QTime otherwise.
QTime ParseClockText(const QString& text);

enum class TSpeechOccasion {
    OwnAccord, // the spoken time of the minute tick, announcements of a timed mail check
    Asked,     // Time Now, Check Now, Recent Messages, the wizard's Test
};

// The decision: asked-for speech always; otherwise not within quiet hours and
// not while the desktop's do-not-disturb is on.
bool MaySpeak(QTime now, const TQuietHours& quiet, bool doNotDisturb, TSpeechOccasion occasion);

// MaySpeak for the current local time and the desktop's do-not-disturb state
// (platform/dnd/DoNotDisturb.h), which is asked only when the answer matters.
bool SpeechAllowedNow(const TQuietHours& quiet, TSpeechOccasion occasion);
