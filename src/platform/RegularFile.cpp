#include "platform/RegularFile.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace platform {
namespace {

std::string WhatItIs(mode_t mode) {
    if (S_ISFIFO(mode))
        return "a named pipe";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    if (S_ISSOCK(mode))
        return "a socket";
    return "not a regular file";
}

[[noreturn]] void Refuse(int fd, const std::string& why) {
    ::close(fd);
    throw EFileRefused(why);
}

} // namespace

int OpenRegularFile(const std::string& path, int flags, TFileUse use, mode_t mode) {
    int openFlags = (flags & ~O_TRUNC) | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if (use == TFileUse::OwnWrite)
        openFlags |= O_NOFOLLOW;
    const int fd = ::open(path.c_str(), openFlags, mode);
    if (fd < 0) {
        // Writing to a named pipe that no one reads fails at once instead of
        // waiting; it is the pipe that is wrong, not the system.
        if (errno == ENXIO)
            throw EFileRefused("\"" + path + "\" is a named pipe or a device, not a regular file");
        throw std::system_error(errno, std::generic_category(), path);
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), path);
    }
    if (!S_ISREG(info.st_mode))
        Refuse(fd, "\"" + path + "\" is " + WhatItIs(info.st_mode) + ", not a regular file");
    if (use == TFileUse::OwnWrite && info.st_nlink > 1)
        Refuse(fd, "\"" + path + "\" has other links to it (a hard link to another file)");
    if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::system_error(error, std::generic_category(), path);
    }
    if (const int status = ::fcntl(fd, F_GETFL); status >= 0)
        ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
    return fd;
}

int OpenRegularFileForReading(const std::string& path) {
    try {
        return OpenRegularFile(path, O_RDONLY, TFileUse::Read);
    } catch (const std::system_error& error) {
        errno = error.code().value();
        return -1;
    } catch (const EFileRefused&) {
        errno = EINVAL;
        return -1;
    }
}

} // namespace platform
