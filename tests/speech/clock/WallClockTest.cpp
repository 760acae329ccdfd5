// The machine's wall clock: its reading, its wake-ups at a moment, and the watch on the zone file.
#include "speech/WallClock.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <sys/timerfd.h>
#include <unistd.h>

class WallClockTest : public QObject {
    Q_OBJECT

private slots:
    void ReadsTheLocalTime();
    void WakesAtTheMomentAndNotBefore();
    void ANewWishReplacesTheOldOneAndCancelDropsIt();
    void NewZoneFileWakesAtOnce_data();
    void NewZoneFileWakesAtOnce();
};

void WallClockTest::ReadsTheLocalTime() {
    const auto clock = CreateSystemWallClock();
    for (int i = 0; i < 2; ++i) { // the second reading comes from what the first one learnt
        const QDateTime expected = QDateTime::currentDateTime();
        const QDateTime read = clock->Now();
        QCOMPARE(read.offsetFromUtc(), expected.offsetFromUtc());
        QVERIFY(qAbs(expected.msecsTo(read)) < 5000);
        QCOMPARE(read.time().minute(), read.toLocalTime().time().minute());
    }
}

namespace {

// Sees the wall clock being set (a time service stepping it, a virtual machine resumed): the
// clock under test rightly wakes early then, so such an attempt proves nothing and is repeated.
class ClockSetWitness {
public:
    ClockSetWitness() : FFd(timerfd_create(CLOCK_REALTIME, TFD_NONBLOCK | TFD_CLOEXEC)) {
        itimerspec far{};
        far.it_value.tv_sec = std::time(nullptr) + 24 * 3600;
        timerfd_settime(FFd, TFD_TIMER_ABSTIME | TFD_TIMER_CANCEL_ON_SET, &far, nullptr);
    }
    ~ClockSetWitness() { close(FFd); }
    ClockSetWitness(const ClockSetWitness&) = delete;
    ClockSetWitness& operator=(const ClockSetWitness&) = delete;

    bool ClockWasSet() const {
        std::uint64_t expirations = 0;
        FSet = FSet || (read(FFd, &expirations, sizeof expirations) < 0 && errno == ECANCELED);
        return FSet;
    }

private:
    int FFd;
    mutable bool FSet = false; // the kernel reports a set clock once
};

// Runs the attempt again while the clock was set during it; an attempt checks the witness before
// anything that a set clock would upset.
template <typename Attempt> void WhileTheClockStaysPut(Attempt attempt) {
    for (int tries = 0; tries < 5; ++tries) {
        const ClockSetWitness witness;
        attempt(witness);
        if (QTest::currentTestFailed() || !witness.ClockWasSet()) {
            return;
        }
    }
    QSKIP("The wall clock was set during every attempt.");
}

} // namespace

void WallClockTest::WakesAtTheMomentAndNotBefore() {
    WhileTheClockStaysPut([](const ClockSetWitness& clockSet) {
        const auto clock = CreateSystemWallClock();
        QList<QDateTime> woken;
        connect(clock.get(), &WallClock::Woken, clock.get(),
                [&woken, &clock] { woken << clock->Now(); });

        const QDateTime moment = clock->Now().addMSecs(300);
        clock->WakeAt(moment);
        QTRY_COMPARE(woken.size(), 1);
        if (clockSet.ClockWasSet()) {
            return;
        }
        QVERIFY2(woken[0] >= moment, qPrintable(woken[0].toString(Qt::ISODateWithMs)));

        // A moment already past: at once, but from the event loop.
        clock->WakeAt(clock->Now().addSecs(-10));
        QCOMPARE(woken.size(), 1);
        QTRY_COMPARE(woken.size(), 2);
    });
}

void WallClockTest::ANewWishReplacesTheOldOneAndCancelDropsIt() {
    WhileTheClockStaysPut([](const ClockSetWitness& clockSet) {
        const auto replaced = CreateSystemWallClock();
        const auto cancelled = CreateSystemWallClock();
        const auto witness = CreateSystemWallClock();
        QSignalSpy replacedSpy(replaced.get(), &WallClock::Woken);
        QSignalSpy cancelledSpy(cancelled.get(), &WallClock::Woken);
        QSignalSpy witnessSpy(witness.get(), &WallClock::Woken);

        const QDateTime now = witness->Now();
        replaced->WakeAt(now.addMSecs(100));
        replaced->WakeAt(now.addSecs(3600));
        cancelled->WakeAt(now.addMSecs(100));
        cancelled->Cancel();
        witness->WakeAt(now.addMSecs(600));
        QTRY_COMPARE(witnessSpy.count(), 1);
        if (clockSet.ClockWasSet()) {
            return;
        }
        QCOMPARE(replacedSpy.count(), 0);
        QCOMPARE(cancelledSpy.count(), 0);
    });
}

void WallClockTest::NewZoneFileWakesAtOnce_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("wakes");
    QTest::newRow("new link renamed over it") << "rename" << true;
    QTest::newRow("removed and linked anew") << "relink" << true;
    QTest::newRow("rewritten in place") << "rewrite" << true;
    QTest::newRow("another file in the folder") << "other" << false;
}

namespace {

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

} // namespace

void WallClockTest::NewZoneFileWakesAtOnce() {
    QFETCH(QString, how);
    QFETCH(bool, wakes);
    WhileTheClockStaysPut([&how, wakes](const ClockSetWitness& clockSet) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString zone = dir.filePath("localtime");
        const QString otherZone = dir.filePath("zone-b");
        // Linked to the zone as usual; a copy of the zone file where it is rewritten in place.
        QVERIFY(how == "rewrite" ? WriteFile(zone, "TZif")
                                 : QFile::link(dir.filePath("zone-a"), zone));

        const auto clock = CreateSystemWallClock(zone);
        const auto witness = CreateSystemWallClock(dir.filePath("unrelated"));
        QSignalSpy spy(clock.get(), &WallClock::Woken);
        QSignalSpy witnessSpy(witness.get(), &WallClock::Woken);
        clock->WakeAt(clock->Now().addSecs(3600));

        if (how == "rename") {
            const QString fresh = dir.filePath(".localtime.new");
            QVERIFY(QFile::link(otherZone, fresh));
            QCOMPARE(
                ::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(zone).constData()),
                0);
        } else if (how == "relink") {
            QVERIFY(QFile::remove(zone));
            QVERIFY(QFile::link(otherZone, zone));
        } else if (how == "rewrite") {
            QVERIFY(WriteFile(zone, "TZif2"));
        } else {
            QVERIFY(WriteFile(dir.filePath("adjtime"), "0.0 0 0.0"));
        }
        if (wakes) {
            QTRY_COMPARE(spy.count(), 1);
        } else {
            witness->WakeAt(witness->Now().addMSecs(300));
            QTRY_COMPARE(witnessSpy.count(), 1);
            if (clockSet.ClockWasSet()) {
                return;
            }
            QCOMPARE(spy.count(), 0);
        }
    });
}

QTEST_MAIN(WallClockTest)
#include "WallClockTest.moc"
