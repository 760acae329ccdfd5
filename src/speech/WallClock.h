#pragma once

// The wall clock as the talking clock uses it: the local time, cheap enough to read every second,
// and one wake-up at a chosen moment that also comes early whenever the wall clock moves under it
// (set by hand or by a time service, the machine resuming from sleep, a new time zone).
//
// SystemWallClock is the machine's clock. On Linux it waits with one absolute timerfd on
// CLOCK_REALTIME armed with TFD_TIMER_CANCEL_ON_SET: the kernel ends the wait at the moment, and
// also at once when the clock is set or the machine resumes. The time zone file (/etc/localtime)
// is watched with inotify. Both descriptors are watched by the owning thread's event loop, so a
// clock that waits for the next minute costs one wake-up a minute and no file access in between.
// Now() reads the zone once per local minute: the offset from UTC can only change at the start of
// a minute (every zone's offset is a whole number of minutes) or with a new zone file, which the
// watch reports. A zone named by the TZ variable is fixed for the life of the process (the C
// library reads it once), so it is not watched. Nothing here throws: where the kernel refuses
// TFD_TIMER_CANCEL_ON_SET the timer waits without it, and where no timerfd can be armed the clock
// waits with a Qt timer; either way a set clock is noticed only at the next wake-up.

#include <QDateTime>
#include <QObject>
#include <QString>

#include <memory>

class WallClock : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // The local time now, as a date and time with its offset from UTC.
    virtual QDateTime Now() = 0;

    // Asks for one Woken() at the first moment the clock reads `moment` or later: at once (from
    // the event loop, never from within this call) when it already does, and early whenever the
    // wall clock or the time zone changes before then. A new wish replaces the pending one; each
    // Woken() ends the wish.
    virtual void WakeAt(const QDateTime& moment) = 0;

    // Drops the pending wish, if any.
    virtual void Cancel() = 0;

signals:
    void Woken();
};

// The machine's clock. An empty zoneFile watches /etc/localtime, the file the C library reads,
// unless TZ is set; tests may name another file to see its changes reported.
std::unique_ptr<WallClock> CreateSystemWallClock(const QString& zoneFile = QString());

// A clock that always reads `at` and never wakes: for pictures of the clock at a chosen time.
std::unique_ptr<WallClock> CreateStoppedWallClock(const QDateTime& at);
