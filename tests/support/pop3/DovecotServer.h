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
//
// With Options::Imap it also serves IMAP from the same mailboxes: on ImapPort(), and with TLS on
// ImapSecurePort() too (STARTTLS offered on ImapPort()). Options::ImapCapability replaces the
// capability list the server announces (one without IDLE, say). Kill() and Restart() stop the
// server without removing its mailboxes and start it again on the same ports.

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

    struct Options {
        bool Imap = false;
        std::string ImapCapability; // empty: Dovecot's own list
        bool Tls = false;
        TlsSettings TlsFiles;
    };

    // Where and how a message is put: into a folder other than INBOX (which must exist, see
    // CreateFolder), marked as read, or into new/ as a delivering mail server does (the server
    // then notices it at once, also during IDLE, and moves it to cur/ itself).
    struct Delivery {
        std::string Folder;
        bool Seen = false;
        bool New = false;
    };

    static bool Available();
    static bool IPv6Available();
    static std::string BinaryPath();

    explicit DovecotServer(const std::vector<User>& users);
    DovecotServer(const std::vector<User>& users, const TlsSettings& tls);
    DovecotServer(const std::vector<User>& users, const Options& options);
    ~DovecotServer();
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    std::string Host() const { return "127.0.0.1"; }
    int Port() const { return FPort; }
    // The POP3-over-TLS port; 0 without TLS.
    int SecurePort() const { return FSecurePort; }
    // The IMAP ports; 0 without IMAP (and, for the secure one, without TLS).
    int ImapPort() const { return FImapPort; }
    int ImapSecurePort() const { return FImapSecurePort; }
    pid_t Pid() const { return FPid; }
    const std::string& Folder() const { return FFolder; }

    // Puts a message into the user's mailbox; it is seen at the next login, numbered after the
    // messages delivered before it. Line ends may be LF or CR LF. Returns the file's path.
    std::string Deliver(const std::string& user, const std::string& message);
    // Removes the user's n-th remaining message (1-based, in delivery order); false when there
    // is none. The next login no longer sees it.
    bool Delete(const std::string& user, int number);
    int MessageCount(const std::string& user) const;

    std::string Deliver(const std::string& user, const std::string& message, const Delivery& how);
    // Creates a folder (its name as it is stored: modified UTF-7 for non-ASCII names).
    void CreateFolder(const std::string& user, const std::string& folder);
    // Removes the message file at the path Deliver returned; false when it is gone.
    bool Remove(const std::string& path);
    // Makes the server forget the folder's UIDs, so that it numbers its messages anew under a
    // new UIDVALIDITY at the next login. Use between sessions.
    void ForgetUids(const std::string& user, const std::string& folder = {});

    // Kills every Dovecot process at once (connections reset), keeping the mailboxes.
    void Kill();
    // Starts the server again after Kill(), on the same ports.
    void Restart();

    std::string Log() const;
    void Stop();

private:
    void Create(const std::vector<User>& users);
    void WriteConfiguration(const std::vector<User>& users);
    void Start();
    bool Greets() const;
    std::string MaildirOf(const std::string& user, const std::string& folder) const;

    std::string FFolder;
    int FPort = 0;
    int FSecurePort = 0;
    int FImapPort = 0;
    int FImapSecurePort = 0;
    bool FImap = false;
    std::string FImapCapability;
    bool FTls = false;
    TlsSettings FTlsSettings;
    pid_t FPid = -1;
    uid_t FMailUid = 0;
    gid_t FMailGid = 0;
    int FSequence = 0;
    std::map<std::string, std::vector<std::string>> FMessages;
};
