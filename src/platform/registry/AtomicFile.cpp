#include "platform/registry/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace {

[[noreturn]] void ThrowErrno(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string ResolveLink(const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
        return path;
    char resolved[PATH_MAX];
    if (!realpath(path.c_str(), resolved))
        return path;
    return resolved;
}

// A write killed half-way leaves its temporary file behind; it may hold private data, so the next
// write of the same file clears it away. Only those older than MinimumAge: a young one may belong
// to a live writer.
void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix,
                            std::time_t minimumAge = 60) {
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return;
    const std::time_t old = std::time(nullptr) - minimumAge;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0)
            continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            (minimumAge == 0 || info.st_mtime < old))
            unlink(path.c_str());
    }
    closedir(dir);
}

} // namespace

void MakeFolders(const std::string& path, mode_t mode) {
    if (path.empty())
        return;
    for (std::size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        const std::string part = path.substr(0, at);
        if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST)
            ThrowErrno(part);
        if (at == std::string::npos)
            break;
    }
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        ThrowErrno(path);
    if (!S_ISDIR(info.st_mode)) {
        errno = ENOTDIR;
        ThrowErrno(path);
    }
}

namespace {

std::string TemporaryPrefix(const std::string& target) {
    return target.substr(target.rfind('/') + 1) + ".tmp-";
}

} // namespace

void RemoveInterruptedWrites(const std::string& path) {
    const std::string target = ResolveLink(path);
    RemoveStaleTemporaries(FolderOf(target), TemporaryPrefix(target), 0);
}

void WriteFileAtomically(const std::string& path, const std::string& bytes, mode_t mode) {
    const std::string target = ResolveLink(path);
    const std::string folder = FolderOf(target);
    const std::string prefix = TemporaryPrefix(target);
    RemoveStaleTemporaries(folder, prefix);
    std::string temp = folder + "/" + prefix + "XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        ThrowErrno(temp);

    auto fail = [&](const std::string& what) {
        const int error = errno;
        close(fd);
        unlink(temp.c_str());
        errno = error;
        ThrowErrno(what);
    };

    if (fchmod(fd, mode) != 0)
        fail(temp);
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            fail(temp);
        done += std::size_t(n);
    }
    if (fsync(fd) != 0)
        fail(temp);
    if (close(fd) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        errno = error;
        ThrowErrno(temp);
    }
    if (rename(temp.c_str(), target.c_str()) != 0) {
        const int error = errno;
        unlink(temp.c_str());
        errno = error;
        ThrowErrno(target);
    }
    // The rename itself must reach the disk before the new content counts as stored.
    if (const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY); dir >= 0) {
        fsync(dir);
        close(dir);
    }
}
