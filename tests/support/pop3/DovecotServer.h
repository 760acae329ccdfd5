#pragma once

// A throw-away Dovecot POP3 server for integration tests and benchmarks. The constructor writes
// its own configuration, a passwd-file and one Maildir per user into a short temporary folder,
// starts Dovecot in the foreground in a process group of its own on a free 127.0.0.1 port and
// returns once the server greets. Stop() (also run by the destructor) kills that process group
// by its id and removes the folder. Dovecot is also killed when the thread that started it ends
// (so a test killed by a time-out leaves no server behind): start it from a thread that outlives
// its use, such as the test's main thread. Failed logins answer at once (no delays, no penalties).
// Works as root (mail processes then run as nobody) and as an ordinary user.
//
// Available() is false when the dovecot binary is missing: tests then skip. The constructor
// throws std::runtime_error (with Dovecot's log) when the server does not come up.
//
// Without TLS settings the server runs with "ssl = no" (its CAPA lists no STLS). With them it
// serves POP3 over TLS on SecurePort() and offers STLS on Port(), and listens on more loopback
// addresses: 127.0.0.2, where it refuses logins before TLS (a connection between two different
// addresses does not count as secured), and one address per extra certificate, served there
// instead of the default one. It also listens on ::1 when the machine has IPv6.

#include <map>
#include <string>
#include <sys/types.h>
#include <utility>
#include <vector>

class DovecotServer {
public:
    struct User {
        std::string Name;
        std::string Password;
    };

    struct TlsSettings {
        std::string Certificate; // PEM files of the certificate served by default
        std::string Key;
        struct AtAddress {
            std::string Address; // a loopback address such as "127.0.0.3"
            std::string Certificate;
            std::string Key;
        };
        std::vector<AtAddress> Others;
    };

    static bool Available();
    static bool IPv6Available();
    static std::string BinaryPath();

    explicit DovecotServer(const std::vector<User>& users);
    DovecotServer(const std::vector<User>& users, const TlsSettings& tls);
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    std::string Host() const { return "127.0.0.1"; }
    int Port() const { return FPort; }
    // The POP3-over-TLS port; 0 without TLS.
    int SecurePort() const { return FSecurePort; }
    pid_t Pid() const { return FPid; }
    const std::string& Folder() const { return FFolder; }

    // Puts a message into the user's mailbox; it is seen at the next login, numbered after the
    // messages delivered before it. Line ends may be LF or CR LF. Returns the file's path.
    std::string Deliver(const std::string& user, const std::string& message);
    // Removes the user's n-th remaining message (1-based, in delivery order); false when there
    // is none. The next login no longer sees it.
    bool Delete(const std::string& user, int number);
    int MessageCount(const std::string& user) const;

    std::string Log() const;
    void Stop();

private:
    void Create(const std::vector<User>& users);
    void WriteConfiguration(const std::vector<User>& users);
    void Start();
    bool Greets() const;

    std::string FFolder;
    int FPort = 0;
    int FSecurePort = 0;
    bool FTls = false;
    TlsSettings FTlsSettings;
    pid_t FPid = -1;
    uid_t FMailUid = 0;
    gid_t FMailGid = 0;
    int FSequence = 0;
    std::map<std::string, std::vector<std::string>> FMessages;
};
