#pragma once
// TAccountTest: "Test Account" without a window. It opens the mailbox as a check does, through
// the check's own mailbox sessions (mail/MailboxSession.h): IMAP logs in and opens the folder
// read-only (EXAMINE), POP3 logs in and counts the messages (STAT); then it logs out. It runs on
// a thread of its own and never blocks the window.
//
// Start() returns at once; Finished() arrives once per test on the thread that owns the object
// (the window thread), with the outcome in plain words: PassedText() on success, else the text a
// check would keep as its last error, a refused login followed by the provider's note
// (TProviderTable::RefusalNote). The test ends after TimeLimit() with ConnectionTimeoutText;
// Stop() ends it at once with StoppedByUserText. A test started while another runs replaces it
// (only the new one reports). Destroying the object stops what runs and waits for its thread,
// which every network wait lets go of at once.
#include "account/AccountSettings.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <string>

class QTimer;

struct TAccountTestSettings {
    TServerType Type = TServerType::POP3;
    std::string Server;
    int Port = 0; // 0: the default of the type and security
    TWinshoeSecurity Security = TWinshoeSecurity::None;
    std::string Login;
    std::string Password;
    std::string Folder; // IMAP; empty: INBOX
    // For the provider's note after a refused login; the login name when empty.
    std::string EmailAddress;
    // The stored trusted-certificate setting (pop3/TrustedCertificate.h), if any.
    std::string TrustedCertificate;
};

class TAccountTest : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultTimeLimit{30000};

    explicit TAccountTest(QObject* parent = nullptr);
    ~TAccountTest() override;

    void Start(const TAccountTestSettings& settings);
    void Stop();
    bool Running() const { return Current != nullptr; }

    std::chrono::milliseconds TimeLimit() const { return Limit; }
    void SetTimeLimit(std::chrono::milliseconds limit) { Limit = limit; }

    // "Testing the account...", for the page while the test runs.
    static QString RunningText();
    // "The account works: Talvoro logged in and found 3 messages in INBOX." (POP3: without the
    // folder).
    static QString PassedText(TServerType type, int messages, const QString& folder);

signals:
    void Finished(bool passed, const QString& text);

private:
    class TRun;

    void RunEnded(TRun* run);
    void Report(bool passed, const QString& text);

    TRun* Current = nullptr;
    QTimer* Deadline;
    std::chrono::milliseconds Limit = DefaultTimeLimit;
};
