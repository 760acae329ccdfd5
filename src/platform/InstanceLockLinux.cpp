#include "platform/InstanceLock.h"

#include "platform/Paths.h"
#include "platform/RegularFile.h"
#include "platform/registry/AtomicFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
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
        // Opening the lock file fails then, and the folder itself is tried.
    }
    return folder;
}

enum class TTake { Taken, Held, Failed };

TTake Take(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
        return TTake::Taken;
    return errno == EWOULDBLOCK ? TTake::Held : TTake::Failed;
}

// Two locks: the lock file, and the settings folder itself, which every copy holds as well. A
// copy that cannot create the lock file (a read-only folder) still finds a copy that runs there
// through the folder's lock, and is found by it.
class TFlockInstanceLock final : public TInstanceLock {
public:
    TFlockInstanceLock(QString folder, QString path)
        : Folder(std::move(folder)), Path(std::move(path)) {}
    ~TFlockInstanceLock() override {
        // The descriptors stay open for the life of the process; closing them
        // here at exit is what the system would do anyway.
        for (const int fd : {Fd, FolderFd})
            if (fd >= 0)
                ::close(fd);
    }

    TResult TryAcquire() override {
        Trouble.clear();
        QString fileProblem;
        if (Fd < 0) {
            try {
                Fd = OpenRegularFile(QFile::encodeName(Path).toStdString(), O_RDWR | O_CREAT,
                                     TFileUse::OwnWrite);
            } catch (const std::system_error& error) {
                fileProblem = QString::fromLocal8Bit(std::strerror(error.code().value()));
            } catch (const EFileRefused& refused) {
                fileProblem = QString::fromLocal8Bit(refused.what());
            }
        }
        if (Fd >= 0) {
            const TTake file = Take(Fd);
            if (file == TTake::Held)
                return TResult::HeldByOther;
            if (file == TTake::Failed)
                fileProblem = QString::fromLocal8Bit(std::strerror(errno));
        }
        if (FolderFd < 0)
            FolderFd =
                ::open(QFile::encodeName(Folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        const TTake folder = FolderFd >= 0 ? Take(FolderFd) : TTake::Failed;
        if (folder == TTake::Held)
            return TResult::HeldByOther;
        if (fileProblem.isEmpty())
            return TResult::Acquired;
        Trouble = QStringLiteral("Talvoro cannot create its lock file \"%1\" (%2), which keeps a "
                                 "second copy from starting.")
                      .arg(Path, fileProblem);
        if (folder == TTake::Taken) {
            Trouble += QStringLiteral(" No other copy of Talvoro uses this settings folder, so "
                                      "this one starts.");
            return TResult::Acquired;
        }
        Trouble += QStringLiteral(" It cannot tell whether another copy is running, so this one "
                                  "starts as if it were the only one.");
        return TResult::Unavailable;
    }

    QString Problem() const override { return Trouble; }

private:
    QString Folder;
    QString Path;
    int Fd = -1;
    int FolderFd = -1;
    QString Trouble;
};

} // namespace

std::unique_ptr<TInstanceLock> CreateInstanceLock(const QString& name) {
    const QString folder = LockFolder();
    return std::make_unique<TFlockInstanceLock>(folder, folder + "/" + name + ".lock");
}

} // namespace platform
