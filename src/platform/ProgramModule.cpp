#include "platform/ProgramModule.h"

#include <cstdlib>
#include <dlfcn.h>
#include <limits.h>
#include <map>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

std::mutex ModulesLock;
std::map<std::string, void*>& Modules() {
    static std::map<std::string, void*> modules; // never unloaded: code may still run from them
    return modules;
}

// A folder to load code from: one that only its owner, root or this user, can
// change. A folder that someone else made, or that everyone may write to, is
// passed over.
bool IsTrustedDirectory(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           (info.st_uid == 0 || info.st_uid == geteuid()) && (info.st_mode & S_IWOTH) == 0;
}

std::string ExecutableDir() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return {};
    std::string exe(path, static_cast<std::size_t>(length));
    return exe.substr(0, exe.find_last_of('/'));
}

// Whether folder is inside the build tree this program was built in. Both
// sides are resolved, so a link to the build tree, or a build tree reached
// through a link, is judged by where it really is.
bool InsideBuildTree(const std::string& folder) {
    char real[PATH_MAX];
    if (realpath(TALVORO_BUILD_TREE_DIR, real) == nullptr)
        return false;
    const std::string tree = real;
    return folder == tree || folder.rfind(tree + "/", 0) == 0;
}

} // namespace

std::string ModuleDir() {
    if (const char* fromEnvironment = std::getenv("TALVORO_MODULE_DIR");
        fromEnvironment != nullptr && *fromEnvironment != '\0')
        return fromEnvironment;
    if (const std::string exeDir = ExecutableDir(); !exeDir.empty()) {
        const std::string besideInstalled = exeDir + "/../" TALVORO_INSTALL_LIBDIR "/talvoro";
        if (IsTrustedDirectory(besideInstalled))
            return besideInstalled;
        // The build tree's modules serve only a program run from that tree: an
        // installed or copied program must never load code from a build path,
        // which may be a folder others can write to.
        if (InsideBuildTree(exeDir) && IsTrustedDirectory(TALVORO_BUILD_MODULE_DIR))
            return TALVORO_BUILD_MODULE_DIR;
    }
    return TALVORO_INSTALL_FULL_LIBDIR "/talvoro";
}

void* ModuleSymbol(const std::string& name, const char* symbol) {
    std::lock_guard lock(ModulesLock);
    void*& handle = Modules()[name];
    if (handle == nullptr) {
        const std::string file = ModuleDir() + "/lib" + name + ".so";
        handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle == nullptr) {
            const char* reason = dlerror();
            Modules().erase(name);
            throw std::runtime_error("Cannot load the program module " + file + ": " +
                                     (reason != nullptr ? reason : "unknown reason"));
        }
    }
    dlerror();
    void* address = dlsym(handle, symbol);
    if (address == nullptr)
        throw std::runtime_error("The program module " + name + " has no entry point " + symbol);
    return address;
}

bool ModuleLoaded(const std::string& name) {
    std::lock_guard lock(ModulesLock);
    const auto it = Modules().find(name);
    return it != Modules().end() && it->second != nullptr;
}

} // namespace platform
