#pragma once
// Folders that a test makes read-only or full without touching the machine's file systems: the
// mounts are made in a mount namespace of the test process (and so of the programs it starts).
// Root only, and only where the system lets a process have a mount namespace; a test run by
// another user makes a folder read-only with permissions, which hold back any user but root.
#include <string>

#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

// Whether this process has mounts of its own (made once, on the first call).
inline bool PrivateMounts() {
    static const bool unshared = geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
                                 mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    return unshared;
}

// Mounts a tmpfs of Size ("256k") at Folder, which must exist; false when this process cannot.
inline bool MountSmallFileSystem(const std::string& folder, const std::string& size = "256k") {
    const std::string options = "size=" + size + ",mode=0700";
    return PrivateMounts() && mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

// Makes Folder read-only: as root by a read-only view of the folder mounted over it (files open
// for writing there stay as they are), otherwise by taking away the write permission.
inline bool MakeFolderReadOnly(const std::string& folder) {
    if (geteuid() != 0)
        return chmod(folder.c_str(), 0500) == 0;
    return PrivateMounts() &&
           mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) == 0 &&
           mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
}

// Undoes both, so that the temporary folder can be removed.
inline void ReleaseFolder(const std::string& folder) {
    if (geteuid() == 0)
        while (umount2(folder.c_str(), MNT_DETACH) == 0) {
        }
    chmod(folder.c_str(), 0700);
}
