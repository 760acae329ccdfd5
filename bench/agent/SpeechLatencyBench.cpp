// Prints, for the built-in voice and the desktop speech service side by side,
// the time from the minute event to the first audio sample of the spoken
// time, and what speech costs a hidden character in memory and threads.
//
//   talvoro_speech_latency_bench [--runs N]
//
// The minute event's work is done as SayTime does it: the sentence for the
// time, then AgentSpeakAt beside a stand-in for the clock (move, show, point,
// speak, hide). The first sample is the moment the character's mouth starts
// to move, which each engine reports as its audio begins: the built-in voice
// when its first samples go to the sink (TALVORO_AUDIO, "none" unless set),
// the service when speech-dispatcher says BEGIN. The service is a private
// speech-dispatcher with espeak-ng on ALSA's null device, so neither side
// waits for a sound card. "first" includes loading the engine's module;
// "engine alone" is from queuing a sentence to its first sample.
#include "SpeechDispatcherServer.h"

#include "agent/AgentControl.h"
#include "agent/CharacterWindow.h"
#include "agent/SpeechEngine.h"
#include "agent/SpeechMarkup.h"
#include "speech/SayTimeText.h"
#include "speech/uAgentMessage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

struct TFootprint {
    long RssKiB = 0;
    int Libraries = 0;
    int Threads = 0;
};

TFootprint Footprint() {
    TFootprint f;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith("VmRSS:"))
                f.RssKiB = line.mid(6).trimmed().split(' ').value(0).toLong();
    QFile maps(QStringLiteral("/proc/self/maps"));
    QSet<QByteArray> libraries;
    if (maps.open(QIODevice::ReadOnly))
        for (const QByteArray& line : maps.readAll().split('\n'))
            if (const qsizetype at = line.indexOf('/'); at > 0 && line.contains(".so"))
                libraries.insert(line.mid(at));
    f.Libraries = int(libraries.size());
    f.Threads = int(QDir(QStringLiteral("/proc/self/task"))
                        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                        .size());
    return f;
}

void PrintFootprint(const QString& when) {
    const TFootprint f = Footprint();
    std::printf("  %-46s RSS %6.1f MiB   %3d libraries   %2d threads\n", qPrintable(when),
                f.RssKiB / 1024.0, f.Libraries, f.Threads);
}

void WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

struct TRuns {
    double First = -1;
    std::vector<double> Warm;
    double Median() {
        if (Warm.empty())
            return -1;
        std::sort(Warm.begin(), Warm.end());
        return Warm[Warm.size() / 2];
    }
};

// One spoken time: from the minute event to the first sample, in ms.
double SpeakTheTime(TAgentControl& control, QWidget& clock, int minute, bool hide = true) {
    TAgentCharacter& c = control.Characters().Item(QStringLiteral("Genie.acs"));
    QElapsedTimer t;
    double first = -1;
    QMetaObject::Connection started = QObject::connect(&c, &TAgentCharacter::SpeechStarted, [&] {
        if (first < 0)
            first = double(t.nsecsElapsed()) / 1e6;
    });
    t.start();
    const QString text =
        SayTimeText(QString(), QStringLiteral("11:%1").arg(minute % 60, 2, 10, QChar('0')));
    AgentSpeakAt(control, QStringLiteral("Genie.acs"), text, &clock, hide);
    WaitUntil([&] { return c.PendingRequests() == 0; }, 30000);
    QObject::disconnect(started);
    return first;
}

TRuns Measure(TSpeechVoice engine, QWidget& clock, int runs, const char* name) {
    TAgentOptions options = TAgentOptions::Load();
    options.Engine = engine;
    options.Save();
    TAgentControl control(nullptr);
    QObject::connect(&control, &TAgentControl::StatusText,
                     [](const QString& text) { std::printf("  status: %s\n", qPrintable(text)); });
    control.Characters().Load(QStringLiteral("Genie.acs"), QStringLiteral("Genie.acs"));
    TRuns result;
    result.First = SpeakTheTime(control, clock, 0);
    for (int i = 1; i <= runs; ++i)
        result.Warm.push_back(SpeakTheTime(control, clock, i));
    // Once more without hiding, to see what speech holds while the character is shown.
    SpeakTheTime(control, clock, 59, false);
    PrintFootprint(QStringLiteral("after the %1, character shown").arg(name));
    control.Characters().Item(QStringLiteral("Genie.acs")).Hide(true);
    WaitUntil(
        [&] {
            return control.Characters().Item(QStringLiteral("Genie.acs")).PendingRequests() == 0;
        },
        5000);
    WaitUntil([] { return false; }, 300); // for a released connection's thread to end
    PrintFootprint(QStringLiteral("... and hidden again"));
    return result;
}

// The engine alone: from queuing the sentence to its first sample, in ms.
double EngineOnly(TSpeechVoice engine, int minute) {
    TSpeechSettings settings;
    settings.Engine = engine;
    std::mutex mutex;
    std::condition_variable changed;
    double first = -1;
    bool finished = false;
    QElapsedTimer t;
    t.start();
    TSpeechEngine::Instance().Speak(
        TranslateSpeechMarkup(
            SayTimeText(QString(), QStringLiteral("11:%1").arg(minute, 2, 10, QChar('0')))),
        settings, [&](const TSpeechEvent& e) {
            std::lock_guard lock(mutex);
            if (e.Kind == TSpeechEvent::TKind::Started && first < 0)
                first = double(t.nsecsElapsed()) / 1e6;
            if (e.Kind == TSpeechEvent::TKind::Finished) {
                finished = true;
                changed.notify_all();
            }
        });
    std::unique_lock lock(mutex);
    changed.wait_for(lock, std::chrono::seconds(30), [&] { return finished; });
    return first;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TALVORO_AUDIO"))
        qputenv("TALVORO_AUDIO", "none");
    if (qEnvironmentVariableIsEmpty("TALVORO_DATA_DIR"))
        qputenv("TALVORO_DATA_DIR", TALVORO_SOURCE_DATA_DIR);
    QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    int runs = 10;
    for (int i = 1; i + 1 < argc; ++i)
        if (QByteArray(argv[i]) == "--runs")
            runs = std::max(1, atoi(argv[++i]));

    TSpeechDispatcherServer server;
    QString error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QWidget clock; // stands where the clock would be
    clock.setGeometry(600, 300, 297, 297);
    clock.show();

    std::printf("footprint of speech (TALVORO_AUDIO=%s)\n", qgetenv("TALVORO_AUDIO").constData());
    PrintFootprint(QStringLiteral("before any sentence"));
    {
        // The character's own windows, without a word said.
        TAgentControl control(nullptr);
        control.Characters().Load(QStringLiteral("Genie.acs"), QStringLiteral("Genie.acs"));
        TAgentCharacter& c = control.Characters().Item(QStringLiteral("Genie.acs"));
        c.MoveTo(300, 300, 1);
        c.Show(false);
        c.GestureAt(700, 400);
        c.Hide(false);
        WaitUntil([&] { return c.PendingRequests() == 0; }, 5000);
        PrintFootprint(QStringLiteral("after the character was shown, no sentence"));
    }
    const TRuns builtIn = Measure(TSpeechVoice::BuiltIn, clock, runs, "built-in voice");
    TRuns service = Measure(TSpeechVoice::DesktopService, clock, runs, "desktop service");

    std::printf("\nminute event to first audio sample (ms), spoken time beside the clock\n");
    std::printf("  %-28s %12s %18s\n", "", "built-in", "desktop service");
    std::printf("  %-28s %12.1f %18.1f\n", "first sentence", builtIn.First, service.First);
    TRuns b = builtIn;
    std::printf("  %-28s %12.1f %18.1f   (%d runs)\n", "later sentences, median", b.Median(),
                service.Median(), runs);
    std::printf(
        "  (show and point animations take about 500 ms of this before the voice starts)\n");
    TRuns engineBuiltIn, engineService;
    for (int i = 0; i < runs; ++i) {
        engineBuiltIn.Warm.push_back(EngineOnly(TSpeechVoice::BuiltIn, i));
        engineService.Warm.push_back(EngineOnly(TSpeechVoice::DesktopService, i));
    }
    std::printf("  %-28s %12.1f %18.1f   (%d runs)\n", "engine alone, median",
                engineBuiltIn.Median(), engineService.Median(), runs);
    return 0;
}
