// Prints how long a Speak takes to reach its first audio sample, and how much
// CPU a loaded but hidden character uses. Never fails on slowness.
//
//   talvoro_agent_bench [--seconds N] [--runs N]
//
// Audio goes where TALVORO_AUDIO says (default here: "none", so the figure is
// the component's own delay; try "wav:/tmp/x" or leave it unset with a sound
// card for the device's share).
#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"
#include "agent/SpeechEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

double CpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void Wait(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

void Summarise(const char* what, std::vector<double> ms) {
    if (ms.empty())
        return;
    std::sort(ms.begin(), ms.end());
    std::printf("%-44s median %7.2f ms   min %7.2f   max %7.2f   (%zu runs)\n", what,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TALVORO_AUDIO"))
        qputenv("TALVORO_AUDIO", "none");
    if (qEnvironmentVariableIsEmpty("TALVORO_DATA_DIR"))
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
    QApplication app(argc, argv);
    int seconds = 60;
    int runs = 20;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QByteArray(argv[i]) == "--seconds")
            seconds = std::max(1, atoi(argv[++i]));
        else if (QByteArray(argv[i]) == "--runs")
            runs = std::max(1, atoi(argv[++i]));
    }
    std::printf("audio sink: %s\n", qgetenv("TALVORO_AUDIO").constData());

    // The engine alone: from queuing an utterance to its first sample.
    std::vector<double> engine;
    for (int i = 0; i < runs; ++i) {
        std::mutex m;
        std::condition_variable cv;
        bool finished = false;
        double first = -1;
        const auto start = std::chrono::steady_clock::now();
        TSpeechEngine::Instance().Speak(
            QStringLiteral("<speak>The time is %1:15</speak>").arg(i % 12 + 1), TSpeechSettings(),
            [&](const TSpeechEvent& e) {
                std::lock_guard lock(m);
                if (e.Kind == TSpeechEvent::TKind::Started && first < 0)
                    first = std::chrono::duration<double, std::milli>(
                                std::chrono::steady_clock::now() - start)
                                .count();
                if (e.Kind == TSpeechEvent::TKind::Finished) {
                    finished = true;
                    cv.notify_all();
                }
            });
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return finished; });
        engine.push_back(first);
    }
    Summarise("engine: Speak to first sample", engine);

    // The component: from Speak() on the window thread until the character's
    // mouth moves there, which is when the first samples have gone out.
    TAgentControl control(nullptr);
    control.Characters().Load(QStringLiteral("Genie.acs"), QStringLiteral("Genie.acs"));
    TAgentCharacter& genie = control.Characters().Item(QStringLiteral("Genie.acs"));
    genie.MoveTo(100, 100, 1);
    genie.Show(true);
    Wait([&] { return genie.PendingRequests() == 0; }, 5000);
    std::vector<double> component;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        genie.Speak(QStringLiteral("The time is %1:15").arg(i % 12 + 1));
        double first = -1;
        while (genie.PendingRequests() > 0 && t.elapsed() < 20000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
            if (first < 0 && genie.Window().Speaking())
                first = double(t.nsecsElapsed()) / 1e6;
        }
        if (first < 0) // spoken and done between two looks
            first = double(t.nsecsElapsed()) / 1e6;
        component.push_back(first);
    }
    Summarise("component: Speak to speaking on window thread", component);

    // A hidden character: nothing should run at all.
    genie.Hide(false);
    Wait([&] { return !genie.Visible() && genie.PendingRequests() == 0; }, 5000);
    std::printf("hidden character, measuring CPU for %d s ...\n", seconds);
    std::fflush(stdout);
    const double cpuBefore = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    // A plain event loop: the process sleeps unless the component wakes it.
    QEventLoop idle;
    QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double cpu = CpuSeconds() - cpuBefore;
    std::printf("hidden character: %.3f s CPU in %.1f s (%.4f %%), %d timers running\n", cpu,
                wall.elapsed() / 1000.0, 100.0 * cpu / (wall.elapsed() / 1000.0),
                genie.ActiveTimers());
    return 0;
}
