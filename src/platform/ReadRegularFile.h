#pragma once
// A small text file of settings or help read whole, through OpenRegularFileForReading: a named
// pipe, a device or a folder in its place is treated as a missing file instead of blocking the
// program.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <optional>

namespace platform {

// The file's first MaxBytes bytes; nothing when it cannot be opened or is not a regular file.
std::optional<QByteArray> ReadRegularFile(const QString& path, std::size_t maxBytes);

} // namespace platform
