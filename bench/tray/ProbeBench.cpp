// How much the program-state probes cost: the process probe scans every
// process of the system, once a minute or more. Prints the time per call for
// a client that runs and one that does not, the dial-up probe, and the open
// file count before and after.
#include "platform/probes/SystemProbes.h"
#include "tray/ProgramState.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

int Count(const QString& dir, bool numericOnly) {
    int count = 0;
    for (const QString& name : QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot)) {
        bool numeric = false;
        name.toInt(&numeric);
        count += !numericOnly || numeric;
    }
    return count;
}

double MicrosecondsPerCall(int calls, const std::function<void()>& call) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < calls; ++i)
        call();
    return static_cast<double>(timer.nsecsElapsed()) / 1000.0 / calls;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? qMax(1, atoi(argv[1])) : 2000;

    QTemporaryDir dir;
    const QString running = dir.path() + "/TalvoroBenchClient";
    QFile::copy(QStringLiteral("/bin/sleep"), running);
    QFile::setPermissions(running, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess process;
    process.start(running, {QStringLiteral("600")});
    process.waitForStarted();
    // The configured path: another file of the same name in another letter case.
    QTemporaryDir configured;
    const QString client = configured.path() + "/talvorobenchclient";
    QFile(client).open(QIODevice::WriteOnly);
    const QString absent = configured.path() + "/talvoro-no-such-client";
    QFile(absent).open(QIODevice::WriteOnly);

    const auto probes = platform::CreateSystemProbes();
    const int fdsBefore = Count(QStringLiteral("/proc/self/fd"), false);
    bool hit = true;
    bool miss = false;
    const double found =
        MicrosecondsPerCall(calls, [&] { hit = probes->IsProgramRunning(client) && hit; });
    const double notFound =
        MicrosecondsPerCall(calls, [&] { miss = probes->IsProgramRunning(absent) || miss; });
    const double dialup = MicrosecondsPerCall(calls, [&] { probes->GetActiveRASConnection(); });
    TProgramStateInputs inputs;
    inputs.EmailCheckEnabled = true;
    inputs.Connection = 1;
    inputs.EmailClientPath = client;
    inputs.SuspendChecks = true;
    const TProgramStateProbes callbacks{
        [&] { return probes->GetActiveRASConnection(); },
        [&](const QString& path) { return probes->IsProgramRunning(path); }};
    const double state = MicrosecondsPerCall(calls, [&] { DecideProgramState(inputs, callbacks); });
    const int fdsAfter = Count(QStringLiteral("/proc/self/fd"), false);
    process.kill();
    process.waitForFinished();

    std::printf("processes on the system:          %d\n", Count(QStringLiteral("/proc"), true));
    std::printf("calls per figure:                 %d\n", calls);
    std::printf("IsProgramRunning, client runs:    %8.1f us/call (found: %s)\n", found,
                hit ? "yes" : "NO");
    std::printf("IsProgramRunning, client absent:  %8.1f us/call (found: %s)\n", notFound,
                miss ? "YES" : "no");
    std::printf("GetActiveRASConnection:           %8.1f us/call (PPP support: %s)\n", dialup,
                probes->RasAvailable() ? "yes" : "no");
    std::printf("whole state decision, suspended:  %8.1f us/call\n", state);
    std::printf("open files before / after:        %d / %d\n", fdsBefore, fdsAfter);
    return 0;
}
