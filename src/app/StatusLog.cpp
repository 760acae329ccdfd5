#include "app/StatusLog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

void TDebugLogFile::Create() const {
    QDir().mkpath(QFileInfo(Path).absolutePath());
    const int fd =
        ::open(QFile::encodeName(Path).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        ThrowInOutError(errno);
    ::close(fd);
}

void TDebugLogFile::Append(const QString& entry) const {
    const int fd = ::open(QFile::encodeName(Path).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        ThrowInOutError(errno);
    WriteAll(fd, entry.toUtf8() + "\r\n");
    if (::close(fd) != 0)
        ThrowInOutError(errno);
}
