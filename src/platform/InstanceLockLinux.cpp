#include "platform/InstanceLock.h"

#include "platform/Paths.h"
#include "platform/registry/AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

// Beside the settings file: the copies that would share one settings file are the ones that
// must not run together, whatever runtime folder each was given.
QString LockFolder() {
    const QString folder = ConfigDir();
    try {
        MakeFolders(QFile::encodeName(folder).toStdString(), 0700);
    } catch (const std::system_error&) {
        // Opening the lock file fails then, and the copy runs as the only one.
    }
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
            Fd = ::open(QFile::encodeName(Path).constData(),
                        O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
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
