#include "DovecotServer.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const char* const Candidates[] = {"/usr/sbin/dovecot", "/usr/local/sbin/dovecot"};

int FreeLoopbackPort() {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(probe);
    return ntohs(address.sin_port);
}

void WriteFile(const fs::path& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    if (!out.flush()) {
        throw std::runtime_error("DovecotServer: cannot write " + path.string());
    }
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void ChangeOwner(const fs::path& path, uid_t uid, gid_t gid) {
    if (::chown(path.c_str(), uid, gid) != 0 && ::geteuid() == 0) {
        throw std::runtime_error("DovecotServer: cannot chown " + path.string());
    }
}

} // namespace

std::string DovecotServer::BinaryPath() {
    for (const char* candidate : Candidates) {
        if (::access(candidate, X_OK) == 0) {
            return candidate;
        }
    }
    return {};
}

bool DovecotServer::Available() {
    return !BinaryPath().empty();
}

bool DovecotServer::IPv6Available() {
    const int probe = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0) {
        return false;
    }
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_loopback;
    const bool bound = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return bound;
}

DovecotServer::DovecotServer(const std::vector<User>& users, const TlsSettings& tls)
    : FTls(true), FTlsSettings(tls) {
    Create(users);
}

DovecotServer::DovecotServer(const std::vector<User>& users) {
    Create(users);
}

DovecotServer::DovecotServer(const std::vector<User>& users, const Options& options)
    : FImap(options.Imap), FImapCapability(options.ImapCapability), FTls(options.Tls),
      FTlsSettings(options.TlsFiles) {
    Create(users);
}

void DovecotServer::Create(const std::vector<User>& users) {
    // Unix socket paths under the folder must stay short, so the folder lives right in /tmp.
    char folder[] = "/tmp/tvdXXXXXX";
    if (::mkdtemp(folder) == nullptr) {
        throw std::runtime_error("DovecotServer: cannot create a temporary folder");
    }
    FFolder = folder;
    // Dovecot's processes run as other users and must be able to reach everything below.
    ::chmod(folder, 0755);
    const bool root = ::geteuid() == 0;
    // Mail processes may not run as root; nobody is always there.
    FMailUid = root ? 65534 : ::getuid();
    FMailGid = root ? 65534 : ::getgid();
    try {
        WriteConfiguration(users);
        for (int attempt = 0;; ++attempt) {
            try {
                Start();
                break;
            } catch (const std::exception&) {
                // Another process may have taken the free port in between; try a new one.
                if (attempt == 2) {
                    throw;
                }
                FPort = 0;
                WriteConfiguration(users);
            }
        }
    } catch (...) {
        Stop();
        throw;
    }
}

DovecotServer::~DovecotServer() {
    Stop();
}

void DovecotServer::WriteConfiguration(const std::vector<User>& users) {
    const fs::path root(FFolder);
    if (FPort == 0) {
        FPort = FreeLoopbackPort();
        FSecurePort = FTls ? FreeLoopbackPort() : 0;
        FImapPort = FImap ? FreeLoopbackPort() : 0;
        FImapSecurePort = FImap && FTls ? FreeLoopbackPort() : 0;
    }
    fs::create_directories(root / "run");
    fs::create_directories(root / "state");
    std::string passwd;
    for (const User& user : users) {
        passwd += user.Name + ":{PLAIN}" + user.Password + "\n";
        const fs::path maildir = root / "home" / user.Name / "Maildir";
        for (const char* sub : {"cur", "new", "tmp"}) {
            fs::create_directories(maildir / sub);
        }
        for (const fs::path& path : {root / "home", root / "home" / user.Name, maildir,
                                     maildir / "cur", maildir / "new", maildir / "tmp"}) {
            ::chmod(path.c_str(), 0755);
            ChangeOwner(path, FMailUid, FMailGid);
        }
        FMessages.try_emplace(user.Name);
    }
    WriteFile(root / "passwd", passwd);

    std::string extra;
    if (::geteuid() != 0) {
        // Without root nothing can change user or chroot: every process runs as the caller.
        const struct passwd* self = ::getpwuid(::getuid());
        const struct group* group = ::getgrgid(::getgid());
        const std::string name = self != nullptr ? self->pw_name : "nobody";
        extra = "default_internal_user = " + name + "\ndefault_login_user = " + name +
                "\ndefault_internal_group = " + (group != nullptr ? group->gr_name : "nogroup") +
                "\nfirst_valid_uid = " + std::to_string(FMailUid) +
                "\nservice pop3-login {\n  chroot =\n}\n" +
                (FImap ? "service imap-login {\n  chroot =\n}\n" : "");
    }
    if (FImap) {
        extra += "service imap-login {\n  service_count = 0\n  process_min_avail = 1\n"
                 "  inet_listener imap {\n    port = " +
                 std::to_string(FImapPort) +
                 "\n  }\n"
                 "  inet_listener imaps {\n    port = " +
                 std::to_string(FImapSecurePort) + "\n  }\n}\n";
        if (!FImapCapability.empty()) {
            extra += "imap_capability = " + FImapCapability + "\n";
        }
    }

    std::string listen = "127.0.0.1";
    std::string ssl = "ssl = no\n";
    if (FTls) {
        listen += ", 127.0.0.2";
        ssl = "ssl = yes\nssl_cert = <" + FTlsSettings.Certificate + "\nssl_key = <" +
              FTlsSettings.Key + "\n";
        for (const TlsSettings::AtAddress& other : FTlsSettings.Others) {
            listen += ", " + other.Address;
            ssl += "local " + other.Address + " {\n  ssl_cert = <" + other.Certificate +
                   "\n  ssl_key = <" + other.Key + "\n}\n";
        }
    }
    if (IPv6Available()) {
        listen += ", ::1";
    }
    const std::string f = FFolder;
    WriteFile(root / "dovecot.conf",
              "base_dir = " + f + "/run\n" + "state_dir = " + f + "/state\n" + "log_path = " + f +
                  "/dovecot.log\n" + "listen = " + listen +
                  "\n"
                  "protocols = pop3" +
                  (FImap ? " imap" : "") + "\n" + ssl +
                  "mail_location = maildir:~/Maildir\n"
                  "mail_fsync = never\n"
                  "auth_failure_delay = 0\n"
                  "passdb {\n  driver = static\n  args = noauthenticate=y nodelay=y\n}\n"
                  "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN " +
                  f +
                  "/passwd\n}\n"
                  "userdb {\n  driver = static\n  args = uid=" +
                  std::to_string(FMailUid) + " gid=" + std::to_string(FMailGid) + " home=" + f +
                  "/home/%u\n}\n"
                  "service anvil {\n  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n" +
                  (::geteuid() != 0 ? "  chroot =\n" : "") +
                  "}\n"
                  "service pop3-login {\n  service_count = 0\n  process_min_avail = 1\n"
                  "  inet_listener pop3 {\n    port = " +
                  std::to_string(FPort) +
                  "\n  }\n"
                  "  inet_listener pop3s {\n    port = " +
                  std::to_string(FSecurePort) + "\n  }\n}\n" + extra);
}

void DovecotServer::Start() {
    const std::string binary = BinaryPath();
    const std::string config = FFolder + "/dovecot.conf";
    const std::string output = FFolder + "/dovecot.out";
    std::vector<std::string> arguments = {binary, "-F", "-c", config};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    FPid = ::fork();
    if (FPid < 0) {
        FPid = -1;
        throw std::runtime_error("DovecotServer: cannot start " + binary);
    }
    if (FPid == 0) {
        // Only async-signal-safe calls from here to exec. A process group of its own, so that
        // Stop reaches every process Dovecot forks; and gone with the test that started it, even
        // when that test is killed.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(126);
        }
        const int input = ::open("/dev/null", O_RDONLY);
        const int log = ::open(output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (input < 0 || log < 0) {
            ::_exit(126);
        }
        ::dup2(input, 0);
        ::dup2(log, 1);
        ::dup2(log, 2);
        ::execve(binary.c_str(), argv.data(), environ);
        ::_exit(127);
    }

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
            throw std::runtime_error("DovecotServer: dovecot ended at start-up:\n" + Log());
        }
        if (Greets()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop();
    throw std::runtime_error("DovecotServer: no greeting within 15 s:\n" + Log());
}

namespace {

bool GreetsOn(int port, const std::string& greeting) {
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool greets = false;
    if (::connect(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const timeval wait{2, 0};
        ::setsockopt(probe, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        char reply[64] = {};
        greets = ::recv(probe, reply, sizeof reply - 1, 0) > 3 &&
                 std::string(reply, greeting.size()) == greeting;
    }
    ::close(probe);
    return greets;
}

} // namespace

bool DovecotServer::Greets() const {
    return GreetsOn(FPort, "+OK") && (!FImap || GreetsOn(FImapPort, "* OK"));
}

void DovecotServer::Stop() {
    Kill();
    if (!FFolder.empty()) {
        std::error_code ignored;
        fs::remove_all(FFolder, ignored);
        FFolder.clear();
    }
}

std::string DovecotServer::Log() const {
    return ReadFile(FFolder + "/dovecot.log") + ReadFile(FFolder + "/dovecot.out");
}

std::string DovecotServer::Deliver(const std::string& user, const std::string& message) {
    return Deliver(user, message, Delivery{});
}

std::string DovecotServer::MaildirOf(const std::string& user, const std::string& folder) const {
    const fs::path maildir = fs::path(FFolder) / "home" / user / "Maildir";
    return (folder.empty() || folder == "INBOX" ? maildir : maildir / ("." + folder)).string();
}

void DovecotServer::CreateFolder(const std::string& user, const std::string& folder) {
    const fs::path maildir = MaildirOf(user, folder);
    for (const char* sub : {"cur", "new", "tmp"}) {
        fs::create_directories(maildir / sub);
    }
    for (const fs::path& path : {maildir, maildir / "cur", maildir / "new", maildir / "tmp"}) {
        ::chmod(path.c_str(), 0755);
        ChangeOwner(path, FMailUid, FMailGid);
    }
}

bool DovecotServer::Remove(const std::string& path) {
    std::error_code ignored;
    return fs::remove(path, ignored);
}

void DovecotServer::ForgetUids(const std::string& user, const std::string& folder) {
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::directory_iterator(MaildirOf(user, folder))) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("dovecot-uidlist") || name.starts_with("dovecot.index")) {
            fs::remove(entry.path(), ignored);
        }
    }
}

void DovecotServer::Kill() {
    if (FPid > 0) {
        ::kill(-FPid, SIGKILL);
        int status = 0;
        while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
        FPid = -1;
    }
}

void DovecotServer::Restart() {
    Kill();
    std::error_code ignored;
    fs::remove(fs::path(FFolder) / "run" / "master.pid", ignored);
    Start();
}

std::string DovecotServer::Deliver(const std::string& user, const std::string& message,
                                   const Delivery& how) {
    std::string stored;
    stored.reserve(message.size());
    std::size_t crlfSize = 0;
    for (std::size_t i = 0; i < message.size(); ++i) {
        if (message[i] == '\r' && i + 1 < message.size() && message[i + 1] == '\n') {
            continue;
        }
        stored += message[i];
        crlfSize += message[i] == '\n' ? 2 : 1;
    }
    // Dovecot numbers messages in the order it first sees them, which follows the names when
    // they sort in delivery order; the sizes in the name spare it reading every file at STAT.
    // The number is repeated just before the sizes because Dovecot hashes a name mostly by its
    // last characters: names that differ only at the front all collide, and a 10,000-message
    // mailbox then costs it about a second of comparisons at every login.
    const int sequence = ++FSequence;
    char name[160];
    std::snprintf(name, sizeof name, "%010d.M%dP%d.talvoro%d,S=%zu,W=%zu%s", sequence, sequence,
                  static_cast<int>(::getpid()), sequence, stored.size(), crlfSize,
                  how.New    ? ""
                  : how.Seen ? ":2,S"
                             : ":2,");
    const fs::path maildir = MaildirOf(user, how.Folder);
    const fs::path staged = maildir / "tmp" / name;
    const fs::path delivered = maildir / (how.New ? "new" : "cur") / name;
    WriteFile(staged, stored);
    ChangeOwner(staged, FMailUid, FMailGid);
    fs::rename(staged, delivered);
    if (how.Folder.empty() && !how.New) {
        FMessages[user].push_back(delivered.string());
    }
    return delivered.string();
}

bool DovecotServer::Delete(const std::string& user, int number) {
    std::vector<std::string>& messages = FMessages[user];
    if (number < 1 || number > static_cast<int>(messages.size())) {
        return false;
    }
    const auto message = messages.begin() + (number - 1);
    std::error_code ignored;
    fs::remove(*message, ignored);
    messages.erase(message);
    return true;
}

int DovecotServer::MessageCount(const std::string& user) const {
    const auto found = FMessages.find(user);
    return found == FMessages.end() ? 0 : static_cast<int>(found->second.size());
}
