// Runs an active clock for a while and prints the CPU time the process used and how often each of
// its threads woke up. Hidden (the default) it runs on the offscreen platform; "shown" puts it on
// the screen with its face and tick marks, as the Time page shows it (run that under a display,
// e.g. xvfb-run, to see what the window system costs). It only reports; it never fails on a slow
// or busy machine.
//
//   talvoro_clock_bench [seconds] [shown]      (default 600 s, hidden)

#include "speech/OvcClock.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMap>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

double Seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

struct CpuTime {
    double User = 0;
    double System = 0;
    double Total() const { return User + System; }
};

CpuTime ProcessCpuTime() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) {
        return {};
    }
    return {Seconds(usage.ru_utime), Seconds(usage.ru_stime)};
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Voluntary context switches (wake-ups after waiting) of each thread, by thread id.
QMap<QString, std::pair<QString, qint64>> Wakeups() {
    QMap<QString, std::pair<QString, qint64>> result;
    for (const QString& tid :
         QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString task = "/proc/self/task/" + tid;
        qint64 switches = 0;
        for (const QByteArray& line : ReadAll(task + "/status").split('\n')) {
            if (line.startsWith("voluntary_ctxt_switches:")) {
                switches = line.mid(24).trimmed().toLongLong();
            }
        }
        result[tid] = {QString::fromLocal8Bit(ReadAll(task + "/comm").trimmed()), switches};
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    bool shown = false;
    int seconds = 600;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        const long wanted = std::strtol(argv[i], &end, 10);
        if (std::strcmp(argv[i], "shown") == 0) {
            shown = true;
        } else if (end != argv[i] && *end == '\0' && wanted > 0 && wanted <= 24 * 3600) {
            seconds = int(wanted);
        } else {
            std::printf("ignoring argument '%s'\n", argv[i]);
        }
    }
    if (!shown && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // As the program does (src/app/main.cpp).
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", "1");
    }
    QApplication app(argc, argv);

    OvcClock clock;
    int minuteEvents = 0;
    QObject::connect(&clock, &OvcClock::MinuteChange, [&minuteEvents] { ++minuteEvents; });
    if (shown) {
        clock.SetDrawTickMarks(true);
        clock.SetShowFace(true);
        clock.show();
    }

    clock.SetActive(true);
    // Start-up and the first paint are not what is measured. (Quitting the application would
    // close the window.)
    QEventLoop warmUp;
    QTimer::singleShot(2000, &warmUp, &QEventLoop::quit);
    warmUp.exec();
    minuteEvents = 0;

    const auto wakeupsBefore = Wakeups();
    const CpuTime start = ProcessCpuTime();
    QElapsedTimer wall;
    wall.start();
    QEventLoop measured;
    QTimer::singleShot(seconds * 1000, &measured, &QEventLoop::quit);
    measured.exec();
    const CpuTime end = ProcessCpuTime();
    const auto wakeupsAfter = Wakeups();

    const double elapsed = qMax(1.0, wall.elapsed() / 1000.0);
    const double minutes = elapsed / 60.0;
    const double ticking = end.Total() - start.Total();
    std::printf("%s active clock, %d s (%.1f s wall), platform %s:\n", shown ? "shown" : "hidden",
                seconds, elapsed, qPrintable(QApplication::platformName()));
    std::printf("  CPU: %.3f s (user %.3f, system %.3f), %.1f ms a minute, %.4f%% of one core\n",
                ticking, end.User - start.User, end.System - start.System,
                1000.0 * ticking / minutes, 100.0 * ticking / elapsed);
    std::printf("  minute events: %d\n", minuteEvents);
    std::printf("  wake-ups a minute, by thread:\n");
    double total = 0;
    for (auto it = wakeupsAfter.cbegin(); it != wakeupsAfter.cend(); ++it) {
        const qint64 before = wakeupsBefore.value(it.key(), {it->first, 0}).second;
        const double rate = double(it->second - before) / minutes;
        total += rate;
        std::printf("    %-20s %8.1f%s\n", qPrintable(it->first), rate,
                    wakeupsBefore.contains(it.key()) ? "" : " (started meanwhile)");
    }
    std::printf("    %-20s %8.1f\n", "all", total);
    return 0;
}
