#include "platform/probes/SystemProbesLinux.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace platform {
namespace {

// The probes run once a minute for as long as the program runs, so every
// descriptor they open is owned by one of these and closed on every path.
struct TDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};
using TDirHandle = std::unique_ptr<DIR, TDirCloser>;

class TFd {
public:
    explicit TFd(int fd) : Fd(fd) {}
    ~TFd() {
        if (Fd >= 0)
            close(Fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return Fd; }

private:
    int Fd;
};

constexpr int ArphrdPpp = 512; // the kernel's interface type for PPP links
constexpr unsigned long IffUp = 0x1;
constexpr unsigned long IffRunning = 0x40;
constexpr int CommLength = 15; // the kernel keeps this much of a command name

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Small kernel-made files (sysfs attributes, cmdline, comm) are read whole in
// one go; nothing of interest to the probes is longer than this.
std::optional<std::string> ReadSmallFile(const std::string& path) {
    const TFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0)
        return std::nullopt;
    std::string content(4096, '\0');
    ssize_t got;
    do {
        got = read(fd.Get(), content.data(), content.size());
    } while (got < 0 && errno == EINTR);
    if (got < 0)
        return std::nullopt;
    content.resize(static_cast<std::size_t>(got));
    return content;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\0'))
        text.pop_back();
    return text;
}

std::optional<long> ReadNumber(const std::string& path, int base) {
    const auto text = ReadSmallFile(path);
    if (!text)
        return std::nullopt;
    const std::string value = Trimmed(*text);
    if (value.empty())
        return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(value.c_str(), &end, base);
    if (errno != 0 || end == value.c_str())
        return std::nullopt;
    return number;
}

std::string BaseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

struct TPppInterface {
    long Index;
    std::string Name;
};

std::vector<TPppInterface> PppInterfaces(const std::string& netDir) {
    std::vector<TPppInterface> found;
    const TDirHandle dir(opendir(netDir.c_str()));
    if (!dir)
        return found;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string base = netDir + "/" + name;
        const auto type = ReadNumber(base + "/type", 10);
        if (!type || *type != ArphrdPpp)
            continue;
        const auto index = ReadNumber(base + "/ifindex", 10);
        found.push_back({index.value_or(0), name});
    }
    std::sort(found.begin(), found.end(), [](const TPppInterface& a, const TPppInterface& b) {
        return a.Index != b.Index ? a.Index < b.Index : a.Name < b.Name;
    });
    return found;
}

bool IsNumeric(const char* text) {
    if (*text == '\0')
        return false;
    for (; *text; ++text)
        if (*text < '0' || *text > '9')
            return false;
    return true;
}

// The process's command line, split at its zero bytes.
std::vector<std::string> CommandLine(const std::string& processDir) {
    std::vector<std::string> arguments;
    const auto content = ReadSmallFile(processDir + "/cmdline");
    if (!content)
        return arguments;
    std::size_t start = 0;
    while (start < content->size()) {
        const std::size_t end = std::min(content->find('\0', start), content->size());
        arguments.push_back(content->substr(start, end - start));
        start = end + 1;
    }
    return arguments;
}

// Interpreters that run a script named on their command line: the shells and
// the usual script languages, with or without a version in the name
// (python3, python3.11, perl5.36), each with the options after which the
// program comes as text or as a module instead of a script file.
struct TInterpreter {
    const char* Name;
    std::vector<std::string> ProgramOptions;
};

const TInterpreter* ScriptInterpreter(const std::string& fileName) {
    static const std::vector<TInterpreter> Interpreters = {
        {"sh", {"-c"}},
        {"bash", {"-c"}},
        {"dash", {"-c"}},
        {"zsh", {"-c"}},
        {"ksh", {"-c"}},
        {"mksh", {"-c"}},
        {"fish", {"-c", "--command"}},
        {"python", {"-c", "-m"}},
        {"perl", {"-e", "-E"}},
        {"ruby", {"-e"}},
        {"node", {"-e", "-p", "--eval", "--print"}},
        {"lua", {"-e"}},
        {"php", {"-r"}},
        {"tclsh", {}},
    };
    std::string base = fileName;
    while (!base.empty() &&
           (std::isdigit(static_cast<unsigned char>(base.back())) || base.back() == '.'))
        base.pop_back();
    for (const TInterpreter& interpreter : Interpreters)
        if (base == interpreter.Name)
            return &interpreter;
    return nullptr;
}

// The script an interpreter runs: its first argument that is not an option.
std::optional<std::string> ScriptOf(const TInterpreter& interpreter,
                                    const std::vector<std::string>& commandLine) {
    for (std::size_t i = 1; i < commandLine.size(); ++i) {
        const std::string& argument = commandLine[i];
        if (std::find(interpreter.ProgramOptions.begin(), interpreter.ProgramOptions.end(),
                      argument) != interpreter.ProgramOptions.end())
            return std::nullopt;
        if (argument == "--")
            return i + 1 < commandLine.size() ? std::optional(commandLine[i + 1]) : std::nullopt;
        if (!argument.empty() && argument.front() != '-')
            return argument;
    }
    return std::nullopt;
}

// The file names a process shows: its executable's, read by the first of the
// sources that can be read (another user's executable link is not readable
// without privileges; the command line and the command name are), and, when
// that executable is a script interpreter, the script's. `shortened` tells
// that the first name is the command name, which the kernel cuts.
std::vector<std::string> ProcessFileNames(const std::string& processDir, bool& shortened) {
    shortened = false;
    std::vector<std::string> names;
    std::string target(4096, '\0');
    const ssize_t length = readlink((processDir + "/exe").c_str(), target.data(), target.size());
    if (length > 0) {
        target.resize(static_cast<std::size_t>(length));
        // An executable replaced on disk while it runs, as by an update.
        const std::string deleted = " (deleted)";
        if (target.size() > deleted.size() &&
            target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
            target.resize(target.size() - deleted.size());
        names.push_back(BaseName(target));
    } else if (errno == ENOENT) {
        // No executable at all: a kernel thread or a process that has ended and
        // not yet been reaped. Neither is a running program.
        return names;
    }
    // The command line is read only where it is needed: most processes are
    // neither another user's nor an interpreter.
    if (names.empty()) {
        const std::vector<std::string> commandLine = CommandLine(processDir);
        if (!commandLine.empty() && !commandLine.front().empty()) {
            names.push_back(BaseName(commandLine.front()));
        } else if (const auto comm = ReadSmallFile(processDir + "/comm")) {
            shortened = true;
            names.push_back(Trimmed(*comm));
            return names;
        } else {
            return names;
        }
    }
    if (const TInterpreter* interpreter = ScriptInterpreter(names.front()))
        if (const auto script = ScriptOf(*interpreter, CommandLine(processDir));
            script && !script->empty())
            names.push_back(BaseName(*script));
    return names;
}

bool SameName(const QString& wanted, const std::string& seen, bool seenShortened) {
    const QString name = QFile::decodeName(QByteArray::fromStdString(seen));
    if (seenShortened && wanted.size() > CommLength)
        return name.compare(wanted.left(CommLength), Qt::CaseInsensitive) == 0;
    return name.compare(wanted, Qt::CaseInsensitive) == 0;
}

} // namespace

TLinuxSystemProbes::TLinuxSystemProbes(QString devRoot, QString sysRoot, QString procRoot)
    : DevRoot(std::move(devRoot)), SysRoot(std::move(sysRoot)), ProcRoot(std::move(procRoot)) {}

bool TLinuxSystemProbes::RasAvailable() {
    struct stat info {};
    if (stat(Native(DevRoot + "/ppp").c_str(), &info) == 0)
        return true;
    return !PppInterfaces(Native(SysRoot + "/class/net")).empty();
}

bool TLinuxSystemProbes::GetActiveRASConnection() {
    if (!RasAvailable())
        return false;
    const std::string netDir = Native(SysRoot + "/class/net");
    const auto interfaces = PppInterfaces(netDir);
    if (interfaces.empty())
        return false;
    // Only the first is examined: a connected second link behind a first one
    // that is still dialling counts as no connection.
    const auto flags = ReadNumber(netDir + "/" + interfaces.front().Name + "/flags", 16);
    if (!flags)
        return false;
    const unsigned long bits = static_cast<unsigned long>(*flags);
    return (bits & IffUp) && (bits & IffRunning);
}

qint64 TLinuxSystemProbes::FindProgram(const QString& path, qint64 onlyProcess) {
    if (path.isEmpty())
        return 0;
    const QFileInfo file(path);
    if (!file.isFile())
        return 0;
    QStringList wanted{file.fileName()};
    // A client is often started through a link (/usr/bin/x -> /opt/x/x-bin);
    // the process then shows the name of the file the link leads to.
    if (file.isSymLink()) {
        const QString target = QFileInfo(file.canonicalFilePath()).fileName();
        if (!target.isEmpty() && target.compare(wanted.front(), Qt::CaseInsensitive) != 0)
            wanted.append(target);
    }

    const std::string procRoot = Native(ProcRoot);
    const auto matches = [&](const std::string& process) {
        bool shortened = false;
        const auto seen = ProcessFileNames(procRoot + "/" + process, shortened);
        for (std::size_t i = 0; i < seen.size(); ++i)
            for (const QString& name : wanted)
                if (!seen[i].empty() && SameName(name, seen[i], shortened && i == 0))
                    return true;
        return false;
    };
    if (onlyProcess != 0)
        return matches(std::to_string(onlyProcess)) ? onlyProcess : 0;
    const TDirHandle dir(opendir(procRoot.c_str()));
    if (!dir)
        return 0;
    while (const dirent* entry = readdir(dir.get()))
        if (IsNumeric(entry->d_name) && matches(entry->d_name))
            return std::strtoll(entry->d_name, nullptr, 10);
    return 0;
}

std::unique_ptr<TSystemProbes> CreateSystemProbes() {
    return std::make_unique<TLinuxSystemProbes>();
}

} // namespace platform
