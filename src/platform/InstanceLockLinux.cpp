#include "platform/InstanceLock.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString LockFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    // One folder per user, so that two users' copies never meet.
    const QString folder = QDir::tempPath() + "/talvoro-" + QString::number(getuid());
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

class TFlockInstanceLock final : public TInstanceLock {
public:
    explicit TFlockInstanceLock(QString path) : Path(std::move(path)) {}
    ~TFlockInstanceLock() override {
        // The descriptor stays open for the life of the process; closing it
        // here at exit is what the system would do anyway.
        if (Fd >= 0)
            ::close(Fd);
    }

    TResult TryAcquire() override {
        if (Fd < 0)
            Fd = ::open(QFile::encodeName(Path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (Fd < 0)
            return TResult::Unavailable;
        if (::flock(Fd, LOCK_EX | LOCK_NB) == 0)
            return TResult::Acquired;
        return errno == EWOULDBLOCK ? TResult::HeldByOther : TResult::Unavailable;
    }

private:
    QString Path;
    int Fd = -1;
};

} // namespace

std::unique_ptr<TInstanceLock> CreateInstanceLock(const QString& name) {
    return std::make_unique<TFlockInstanceLock>(LockFolder() + "/" + name + ".lock");
}

} // namespace platform
