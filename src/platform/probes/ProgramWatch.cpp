#include "platform/probes/ProgramWatch.h"

#include <QSocketNotifier>

#include <sys/syscall.h>
#include <unistd.h>

namespace platform {
namespace {

// The process as a descriptor that becomes readable when it ends; -1 where
// the kernel has no pidfd or the process has gone.
int OpenProcess(qint64 process) {
#ifdef SYS_pidfd_open
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(process), 0));
#else
    (void)process;
    return -1;
#endif
}

} // namespace

TProgramWatch::TProgramWatch(TSystemProbes& probes, QObject* parent)
    : QObject(parent), Probes(probes) {}

TProgramWatch::~TProgramWatch() {
    Forget();
}

bool TProgramWatch::IsRunning(const QString& path, bool look) {
    if (path != Path) {
        Forget();
        LastFound = false;
        Path = path;
    }
    if (Watching())
        return true;
    if (!look)
        return LastFound;
    const qint64 process = Probes.FindProgram(path);
    LastFound = process != 0;
    if (LastFound)
        Watch(process);
    return LastFound;
}

void TProgramWatch::Watch(qint64 process) {
    const int fd = OpenProcess(process);
    if (fd < 0)
        return;
    // The number may have passed to another process between the search and
    // the opening; the descriptor holds the process itself from here on.
    if (Probes.FindProgram(Path, process) != process) {
        ::close(fd);
        LastFound = false;
        return;
    }
    ProcessFd = fd;
    Notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] {
        Forget();
        LastFound = false;
        emit Ended();
    });
}

void TProgramWatch::Forget() {
    delete Notifier;
    Notifier = nullptr;
    if (ProcessFd >= 0)
        ::close(ProcessFd);
    ProcessFd = -1;
}

} // namespace platform
