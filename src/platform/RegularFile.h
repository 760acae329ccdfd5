#pragma once
// Opening a file that someone may have put something else in place of: a
// named pipe, a device or a folder, or a link to another file. A plain open()
// blocks on a named pipe until a writer comes, so a pipe in a settings file's
// place would hang the program at start; and writing through a link changes
// a file that is not the program's own.
//
// Plain C++ and POSIX, no Qt.
#include <stdexcept>
#include <string>
#include <sys/types.h>

namespace platform {

// A file refused because of what it is. The message names the file and says
// what it is, in the user's words.
class EFileRefused : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class TFileUse {
    Read,     // anything that leads to a regular file will do
    OwnWrite, // a file the program writes: no symbolic link, no other hard link
};

// open(path, flags | O_CLOEXEC, mode) that never blocks and opens only a
// regular file; for OwnWrite also never a symbolic link (O_NOFOLLOW) or a file
// with another hard link. O_TRUNC takes effect only once the file has
// passed, so a refused file is left as it was. Returns the descriptor, in
// blocking mode again. Throws std::system_error with the errno of a failed
// open, EFileRefused for a file that is not fit.
int OpenRegularFile(const std::string& path, int flags, TFileUse use, mode_t mode = 0600);

// The descriptor of the regular file Path open for reading, or -1 when it
// cannot be opened or is refused (errno tells why only for the former).
int OpenRegularFileForReading(const std::string& path);

} // namespace platform
