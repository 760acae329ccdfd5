#include "app/StatusLog.h"

#include "platform/RegularFile.h"
#include "platform/registry/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

QString CutTrayHint(const QString& hint) {
    return hint.left(TrayHintLimit);
}

QString TrayHintWithStatus(const QString& defaultHint, const QString& text) {
    return CutTrayHint(defaultHint + QLatin1Char('[') + text + QLatin1Char(']'));
}

QString FormatLogEntry(const QString& text, const QTime& time, const QString& format) {
    return text + QStringLiteral(": ") + time.toString(format);
}

namespace {

[[noreturn]] void ThrowInOutError(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        throw EInOutError("File not found");
    case EACCES:
    case EPERM:
    case EROFS:
        throw EInOutError("File access denied");
    case ENOSPC:
    case EDQUOT:
        throw EInOutError("Disk full");
    default:
        throw EInOutError(std::strerror(error));
    }
}

void WriteAll(int fd, const QByteArray& bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            ThrowInOutError(error);
        }
        done += n;
    }
}

} // namespace

namespace {

// Opens the log for writing: never through a link, never waiting on a named pipe, only a file
// that is the program's own.
int OpenLog(const QString& path, int flags) {
    try {
        return platform::OpenRegularFile(QFile::encodeName(path).toStdString(), O_WRONLY | flags,
                                         platform::TFileUse::OwnWrite);
    } catch (const platform::EFileRefused& refused) {
        throw EInOutError(std::string("The debug log ") + refused.what() +
                          ", so Talvoro does not write to it");
    } catch (const std::system_error& error) {
        ThrowInOutError(error.code().value());
    }
}

} // namespace

void TDebugLogFile::Create() const {
    const QByteArray path = QFile::encodeName(Path);
    try {
        MakeFolders(QFile::encodeName(QFileInfo(Path).absolutePath()).toStdString(), 0700);
    } catch (const std::system_error& error) {
        ThrowInOutError(error.code().value());
    }
    // A link in the log's place, symbolic or hard, is replaced, never written through.
    struct stat info {};
    if (::lstat(path.constData(), &info) == 0 &&
        (S_ISLNK(info.st_mode) || (S_ISREG(info.st_mode) && info.st_nlink > 1)))
        ::unlink(path.constData());
    const int fd = OpenLog(Path, O_CREAT | O_TRUNC);
    // An older log may have been created readable by others.
    ::fchmod(fd, 0600);
    ::close(fd);
}

void TDebugLogFile::Append(const QString& entry) const {
    const int fd = OpenLog(Path, O_APPEND);
    WriteAll(fd, entry.toUtf8() + "\r\n");
    if (::close(fd) != 0)
        ThrowInOutError(errno);
}
