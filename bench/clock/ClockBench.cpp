// Runs a hidden, active clock for a while on the offscreen platform and prints the CPU time the
// process used. It only reports; it never fails on a slow or busy machine.

#include "speech/OvcClock.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

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

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);

    int seconds = 600;
    if (argc > 1) {
        char* end = nullptr;
        const long wanted = std::strtol(argv[1], &end, 10);
        if (end != argv[1] && *end == '\0' && wanted > 0 && wanted <= 24 * 3600) {
            seconds = int(wanted);
        } else {
            std::printf("ignoring argument '%s'; running %d s\n", argv[1], seconds);
        }
    }

    OvcClock clock;
    int minuteEvents = 0;
    QObject::connect(&clock, &OvcClock::MinuteChange, [&minuteEvents] { ++minuteEvents; });

    const CpuTime start = ProcessCpuTime();
    QElapsedTimer wall;
    wall.start();
    clock.SetActive(true);
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const CpuTime end = ProcessCpuTime();

    const double ticking = end.Total() - start.Total();
    std::printf("hidden active clock, %d s (%.1f s wall):\n", seconds, wall.elapsed() / 1000.0);
    std::printf("  CPU while ticking: %.3f s (user %.3f, system %.3f), %.4f%% of one core\n",
                ticking, end.User - start.User, end.System - start.System,
                100.0 * ticking / qMax(1.0, wall.elapsed() / 1000.0));
    std::printf("  CPU of the whole process: %.3f s\n", end.Total());
    std::printf("  minute events: %d\n", minuteEvents);
    return 0;
}
