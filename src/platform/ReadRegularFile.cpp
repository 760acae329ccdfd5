#include "platform/ReadRegularFile.h"

#include "platform/RegularFile.h"

#include <QFile>

#include <unistd.h>

namespace platform {

std::optional<QByteArray> ReadRegularFile(const QString& path, std::size_t maxBytes) {
    const int fd = OpenRegularFileForReading(QFile::encodeName(path).toStdString());
    QFile file;
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return std::nullopt;
    }
    return file.read(static_cast<qint64>(maxBytes));
}

} // namespace platform
