#pragma once

// A wall clock a test sets, runs forward and jumps, for the widget's timing. It keeps the wishes
// the widget makes and wakes it as the machine's clock would: at each wished moment on the way
// when time runs, at once when the clock is set.

#include "speech/WallClock.h"

#include <QList>
#include <QTimer>

#include <optional>

class FakeWallClock : public WallClock {
public:
    explicit FakeWallClock(QDateTime start) : Time(std::move(start)) {}

    QDateTime Time;
    std::optional<QDateTime> Wish;
    int Reads = 0;
    QList<QDateTime> Wakes; // the moments it woke the widget

    QDateTime Now() override {
        ++Reads;
        return Time;
    }

    void WakeAt(const QDateTime& moment) override {
        Wish = moment;
        if (moment <= Time) {
            QTimer::singleShot(0, this, [this] {
                if (Wish && *Wish <= Time) {
                    Fire();
                }
            });
        }
    }

    void Cancel() override { Wish.reset(); }

    // Lets the time run to `until`, waking the widget at every wish on the way.
    void RunTo(QDateTime until) { // by value: it may be the wish itself
        for (int guard = 0; Wish && *Wish <= until && guard < 1000000; ++guard) {
            if (*Wish > Time) {
                Time = *Wish;
            }
            Fire();
        }
        Time = until;
    }
    void RunFor(qint64 ms) { RunTo(Time.addMSecs(ms)); }

    // The clock is set to `to`, or a new time zone makes it read `to`: the widget wakes at once.
    void Jump(const QDateTime& to) {
        Time = to;
        if (Wish) {
            Fire();
        }
    }

private:
    void Fire() {
        Wish.reset();
        Wakes << Time;
        emit Woken();
    }
};

// A local time on a fixed day, an hour ahead of UTC unless told otherwise.
inline QDateTime LocalAt(QTime time, int offsetSeconds = 3600) {
    return QDateTime(QDate(2026, 12, 9), time, Qt::OffsetFromUTC, offsetSeconds);
}
