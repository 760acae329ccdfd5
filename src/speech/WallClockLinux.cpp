#include "speech/WallClock.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/inotify.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace {

constexpr qint64 MsecsPerMinute = 60 * 1000;

class SystemWallClock final : public WallClock {
public:
    explicit SystemWallClock(const QString& zoneFile) {
        FTimerFd = timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC);
        if (FTimerFd >= 0) {
            FTimerNotifier = new QSocketNotifier(FTimerFd, QSocketNotifier::Read, this);
            connect(FTimerNotifier, &QSocketNotifier::activated, this,
                    &SystemWallClock::TimerReadable);
        }
        WatchZone(zoneFile);
    }

    ~SystemWallClock() override {
        // The notifiers are children and go first; close their descriptors after them.
        delete FTimerNotifier;
        delete FZoneNotifier;
        if (FTimerFd >= 0) {
            close(FTimerFd);
        }
        if (FZoneFd >= 0) {
            close(FZoneFd);
        }
    }

    QDateTime Now() override {
        const qint64 ms = QDateTime::currentMSecsSinceEpoch();
        if (ms < FOffsetFrom || ms >= FOffsetUntil) {
            // The one place that asks the C library for the zone (and so looks at its file).
            const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
            FOffsetSeconds = local.offsetFromUtc();
            const QTime time = local.time();
            FOffsetFrom = ms - (time.second() * 1000 + time.msec());
            FOffsetUntil = FOffsetFrom + MsecsPerMinute;
        }
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, FOffsetSeconds);
    }

    void WakeAt(const QDateTime& moment) override {
        const qint64 ms = moment.toMSecsSinceEpoch();
        FArmed = true;
        if (FTimerFd >= 0) {
            itimerspec when{};
            // A moment of zero would disarm the timer; any moment that early has passed anyway.
            const qint64 at = qMax<qint64>(ms, 1);
            when.it_value.tv_sec = time_t(at / 1000);
            when.it_value.tv_nsec = long(at % 1000) * 1000000L;
            // Some kernels and sandboxes refuse TFD_TIMER_CANCEL_ON_SET; the absolute timer alone
            // still wakes at the moment, and a set clock is then noticed at the next wake-up.
            if (FCancelOnSet &&
                timerfd_settime(FTimerFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &when,
                                nullptr) == 0) {
                return;
            }
            FCancelOnSet = false;
            if (timerfd_settime(FTimerFd, TFD_TIMER_ABSTIME, &when, nullptr) == 0) {
                return;
            }
        }
        // No timerfd: a Qt timer, never a wake-up at once, which would make a clock that re-arms
        // from its wake-up spin.
        if (FFallback == nullptr) {
            FFallback = new QTimer(this);
            FFallback->setSingleShot(true);
            FFallback->setTimerType(Qt::PreciseTimer);
            connect(FFallback, &QTimer::timeout, this, &SystemWallClock::Wake);
        }
        FFallback->start(int(
            qBound<qint64>(0, ms - QDateTime::currentMSecsSinceEpoch(), 24 * 60 * MsecsPerMinute)));
    }

    void Cancel() override {
        FArmed = false;
        Disarm();
    }

private:
    void Disarm() {
        if (FTimerFd >= 0) {
            const itimerspec disarmed{};
            timerfd_settime(FTimerFd, 0, &disarmed, nullptr);
        }
        if (FFallback != nullptr) {
            FFallback->stop();
        }
    }

    void Wake() {
        if (FArmed) {
            FArmed = false;
            emit Woken();
        }
    }

    void TimerReadable() {
        std::uint64_t expirations = 0;
        const ssize_t got = read(FTimerFd, &expirations, sizeof expirations);
        if (got == sizeof expirations && expirations > 0) {
            Wake();
        } else if (got < 0 && errno == ECANCELED) {
            // The wall clock was set or the machine resumed: the timer is disarmed by now.
            ForgetOffset();
            Wake();
        }
        // EAGAIN: the wish was replaced after the descriptor became readable.
    }

    void ForgetOffset() { FOffsetFrom = FOffsetUntil = 0; }

    // Watches the folder of the zone file for the file being replaced (a new link renamed over
    // it, or removed and created again) or rewritten in place.
    void WatchZone(const QString& zoneFile) {
        QString file = zoneFile;
        if (file.isEmpty()) {
            const char* tz = std::getenv("TZ");
            if (tz != nullptr) {
                return; // the zone comes from TZ and stays
            }
            file = QStringLiteral("/etc/localtime");
        }
        const QFileInfo info(file);
        FZoneName = QFile::encodeName(info.fileName());
        FZoneFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (FZoneFd < 0) {
            return;
        }
        if (inotify_add_watch(FZoneFd, QFile::encodeName(info.path()).constData(),
                              IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM |
                                  IN_CLOSE_WRITE) < 0) {
            close(FZoneFd);
            FZoneFd = -1;
            return;
        }
        FZoneNotifier = new QSocketNotifier(FZoneFd, QSocketNotifier::Read, this);
        connect(FZoneNotifier, &QSocketNotifier::activated, this, &SystemWallClock::ZoneReadable);
    }

    void ZoneReadable() {
        alignas(inotify_event) char buffer[4096];
        bool zoneChanged = false;
        for (;;) {
            const ssize_t got = read(FZoneFd, buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            for (ssize_t at = 0; at + ssize_t(sizeof(inotify_event)) <= got;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if (event->len > 0 && FZoneName == event->name) {
                    zoneChanged = true;
                }
                at += ssize_t(sizeof(inotify_event)) + ssize_t(event->len);
            }
        }
        if (zoneChanged) {
            ForgetOffset();
            if (FArmed) {
                Disarm();
                Wake();
            }
        }
    }

    int FTimerFd = -1;
    int FZoneFd = -1;
    QSocketNotifier* FTimerNotifier = nullptr;
    QSocketNotifier* FZoneNotifier = nullptr;
    QTimer* FFallback = nullptr; // made when the timerfd cannot be armed
    bool FCancelOnSet = true;    // the kernel takes TFD_TIMER_CANCEL_ON_SET
    QByteArray FZoneName;
    bool FArmed = false; // a wish is pending
    // The offset from UTC holds for [FOffsetFrom, FOffsetUntil), one local minute (ms since the
    // epoch).
    int FOffsetSeconds = 0;
    qint64 FOffsetFrom = 0;
    qint64 FOffsetUntil = 0;
};

} // namespace

std::unique_ptr<WallClock> CreateSystemWallClock(const QString& zoneFile) {
    return std::make_unique<SystemWallClock>(zoneFile);
}
