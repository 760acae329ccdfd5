#include "platform/registry/FileRegistry.h"

#include "platform/Paths.h"
#include "platform/RegularFile.h"
#include "platform/registry/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace {

std::string FolderOf(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Why a save failed, in words a user can act on.
std::string SaveFailureCause(int error, const std::string& folder) {
    switch (error) {
    case ENOSPC:
        return "the disk is full";
    case EDQUOT:
        return "your disk quota is used up";
    case EROFS:
        return "the settings folder \"" + folder + "\" is read-only";
    case EACCES:
    case EPERM:
        return "Talvoro may not write in the settings folder \"" + folder + "\"";
    default:
        return std::string("the settings file could not be written (") + std::strerror(error) + ")";
    }
}

std::string FileName(const std::string& path) {
    auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Quarantine(const std::string& path) {
    char stamp[32];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string aside = path + ".corrupt-" + stamp;
    struct stat info {};
    for (int n = 2; lstat(aside.c_str(), &info) == 0; ++n)
        aside = path + ".corrupt-" + stamp + "-" + std::to_string(n);
    if (rename(path.c_str(), aside.c_str()) != 0)
        return {};
    return aside;
}

enum class TReadResult { Read, Missing, Failed, Refused };

// A named pipe or a device in the file's place is refused, not waited on; Bytes then holds why.
TReadResult ReadWholeFile(const std::string& path, std::string& bytes) {
    int fd = -1;
    try {
        fd = platform::OpenRegularFile(path, O_RDONLY, platform::TFileUse::Read);
    } catch (const platform::EFileRefused& refused) {
        bytes = refused.what();
        return TReadResult::Refused;
    } catch (const std::system_error& error) {
        errno = error.code().value();
        return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
    }
    bytes.clear();
    char buffer[16384];
    while (true) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            close(fd);
            errno = error;
            return TReadResult::Failed;
        }
        if (n == 0)
            break;
        bytes.append(buffer, std::size_t(n));
        // Enough to know that the file is too large to be a hive.
        if (bytes.size() > MaxHiveFileBytes)
            break;
    }
    close(fd);
    return TReadResult::Read;
}

} // namespace

TFileRegistry::TFileRegistry() : TFileRegistry(DefaultHivePath()) {}

TFileRegistry::TFileRegistry(std::string hivePath) : HiveFile(std::move(hivePath)) {}

TFileRegistry::~TFileRegistry() {
    try {
        CloseKey();
    } catch (...) {
        // Nobody is left to tell; the changes of a key not closed explicitly are best effort.
    }
}

std::string TFileRegistry::DefaultHivePath() {
    return (platform::ConfigDir() + "/registry.reg").toStdString();
}

std::string TFileRegistry::Resolve(const std::string& key) const {
    std::string path =
        (!key.empty() && key.front() == '\\') ? std::string() : OpenPath.value_or("");
    std::size_t at = 0;
    while (at <= key.size()) {
        auto end = key.find('\\', at);
        if (end == std::string::npos)
            end = key.size();
        if (end > at) {
            if (!path.empty())
                path += '\\';
            path.append(key, at, end - at);
        }
        at = end + 1;
    }
    return path;
}

void TFileRegistry::ReportUnreadable(const std::string& message, const std::string& cause) {
    BlockedCause = cause;
    if (!Blocked)
        HiveError = message;
    Blocked = true;
}

TRegDocument TFileRegistry::Load() {
    std::string bytes;
    switch (ReadWholeFile(HiveFile, bytes)) {
    case TReadResult::Missing:
        Blocked = false;
        return {};
    case TReadResult::Failed: {
        const std::string cause = "the settings file \"" + HiveFile + "\" could not be read (" +
                                  std::strerror(errno) + ")";
        ReportUnreadable("T" + cause.substr(1) +
                             ". Talvoro starts with its default settings and cannot save them "
                             "until the file is readable again.",
                         cause);
        return {};
    }
    case TReadResult::Refused:
        ReportUnreadable("The settings file " + bytes +
                             ". Talvoro starts with its default settings and cannot save them "
                             "until that is removed.",
                         "the settings file " + bytes);
        return {};
    case TReadResult::Read:
        break;
    }
    // An empty file holds no settings to lose; it is simply an empty hive.
    if (bytes.empty()) {
        Blocked = false;
        return {};
    }
    try {
        TRegDocument document = TRegDocument::Parse(bytes);
        Blocked = false;
        return document;
    } catch (const ERegParseError& error) {
        const std::string aside = Quarantine(HiveFile);
        if (aside.empty()) {
            ReportUnreadable("The settings file \"" + HiveFile + "\" is damaged (" + error.what() +
                                 ") and could not be moved aside. Talvoro starts with its default "
                                 "settings and cannot save them until the file is repaired or "
                                 "removed.",
                             "the settings file \"" + HiveFile +
                                 "\" is damaged and could not be moved aside");
            return {};
        }
        Blocked = false;
        HiveError = "Talvoro's settings file was damaged (" + std::string(error.what()) +
                    "), so Talvoro has started with its default settings.\n\nNothing is lost: "
                    "the damaged file has been kept as \"" +
                    aside +
                    "\". Choose your settings again, or close Talvoro, repair that file and "
                    "rename it back to \"" +
                    FileName(HiveFile) + "\".";
        return {};
    }
}

void TFileRegistry::NoteFailure(const std::system_error& error) {
    LastFailureCause =
        Blocked ? BlockedCause : SaveFailureCause(error.code().value(), FolderOf(HiveFile));
}

void TFileRegistry::Store(const TRegDocument& document) {
    if (Blocked)
        throw std::system_error(EPERM, std::generic_category(), HiveFile);
    MakeFolders(FolderOf(HiveFile));
    WriteFileAtomically(HiveFile, document.Serialize(), 0600);
}

void TFileRegistry::Flush() {
    if (Pending.empty())
        return;
    TRegDocument fresh = Load();
    for (const auto& change : Pending) {
        if (change.Delete)
            fresh.DeleteValue(change.Path, change.Name);
        else
            fresh.SetString(change.Path, change.Name, change.Text);
    }
    Store(fresh);
    Pending.clear();
}

bool TFileRegistry::OpenKey(const std::string& key, bool canCreate) {
    const std::string path = Resolve(key);
    CloseKey();
    LastFailureCause.clear();
    Document = Load();
    if (!Document.KeyExists(path)) {
        if (canCreate && Blocked)
            LastFailureCause = BlockedCause;
        if (!canCreate || Blocked)
            return false;
        TRegDocument fresh = Document;
        fresh.AddKey(path);
        try {
            Store(fresh);
        } catch (const std::system_error& error) {
            NoteFailure(error);
            return false;
        }
        Document = std::move(fresh);
    }
    OpenPath = path;
    return true;
}

void TFileRegistry::CloseKey() {
    if (!OpenPath)
        return;
    OpenPath.reset();
    if (Pending.empty())
        return;
    const std::string first = Pending.front().Name;
    try {
        Flush();
    } catch (const std::system_error& error) {
        Pending.clear();
        NoteFailure(error);
        throw WithCause(FailedToSetData(first), LastFailureCause);
    }
}

bool TFileRegistry::KeyExists(const std::string& key) {
    const std::string path = Resolve(key);
    if (OpenPath)
        return Document.KeyExists(path);
    return Load().KeyExists(path);
}

bool TFileRegistry::ValueExists(const std::string& name) {
    return ReadValue(name).has_value();
}

std::optional<TRegValue> TFileRegistry::ReadValue(const std::string& name) {
    if (!OpenPath)
        return std::nullopt;
    return Document.FindValue(*OpenPath, name);
}

void TFileRegistry::WriteString(const std::string& name, const std::string& text) {
    if (!OpenPath)
        throw FailedToSetData(name);
    if (Document.SetString(*OpenPath, name, text))
        Pending.push_back({*OpenPath, name, text, false});
}

bool TFileRegistry::DeleteValue(const std::string& name) {
    if (!OpenPath || !Document.DeleteValue(*OpenPath, name))
        return false;
    Pending.push_back({*OpenPath, name, {}, true});
    try {
        Flush();
        return true;
    } catch (const std::system_error&) {
        Pending.pop_back();
        return false;
    }
}

std::string TFileRegistry::TakeHiveError() {
    return std::exchange(HiveError, {});
}

void TFileRegistry::RemoveInterruptedSaves() {
    RemoveInterruptedWrites(HiveFile);
}
