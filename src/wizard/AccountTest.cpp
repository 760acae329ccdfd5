#include "wizard/AccountTest.h"

#include "account/ProviderTable.h"
#include "imap/ImapClient.h"
#include "imap/ImapExceptions.h"
#include "mail/HeaderText.h"
#include "mail/ImapMailboxSession.h"
#include "mail/MailCheckControl.h"
#include "mail/MessageTable.h"
#include "mail/Pop3MailboxSession.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoePOP3.h"

#include <QThread>
#include <QTimer>

#include <atomic>
#include <memory>

namespace {

// As a check words a failure that is not a refused command: a socket error in the system's own
// words, anything else (which may carry what a server sent) as one line of display text.
QString FailureText(const std::exception& error) {
    if (dynamic_cast<const EWinshoeSocketError*>(&error) != nullptr)
        return QString::fromStdString(error.what());
    const std::string text = TMessageTable::CutTo(ServerDisplayText(error.what()), 1000);
    if (text.find_first_not_of(' ') == std::string::npos)
        return QString::fromUtf8(UnreadableReplyText);
    return QString::fromStdString(text);
}

} // namespace

class TAccountTest::TRun : public QThread {
public:
    TRun(const TAccountTestSettings& settings, QObject* parent)
        : QThread(parent), Settings(settings) {
        if (settings.Type == TServerType::IMAP) {
            auto imap = std::make_unique<TImapClient>();
            Session = std::make_unique<TImapMailboxSession>(*imap, settings.Folder);
            Client = std::move(imap);
        } else {
            auto pop3 = std::make_unique<TWinshoePOP3>();
            Session = std::make_unique<TPop3MailboxSession>(*pop3);
            Client = std::move(pop3);
        }
        Client->SetHost(settings.Server);
        Client->SetPort(settings.Port > 0 ? settings.Port
                                          : DefaultPort(settings.Type, settings.Security));
        Client->SetSecurity(settings.Security);
        Client->SetUserID(settings.Login);
        Client->SetPassword(settings.Password);
        Client->SetTrustedCertificate(settings.TrustedCertificate);
        // A stop that comes before the connection has a socket ends it at its next step.
        Client->SetOnStatus([this](const std::string&) {
            if (Stopped)
                throw EWinshoeSocketError(WSAEINTR);
        });
    }

    // Any thread.
    void Stop() {
        Stopped = true;
        Client->CloseSocket();
    }

    void run() override {
        bool loggingIn = true;
        try {
            Session->Connect();
            loggingIn = false;
            const int messages = Session->CountMessages();
            Passed = true;
            Text = PassedText(
                Settings.Type, messages,
                QString::fromStdString(Settings.Folder.empty() ? "INBOX" : Settings.Folder));
            Session->Quit();
        } catch (const EWinshoeResponseError& error) {
            if (!Passed) {
                Text = QString::fromStdString(Session->RefusalText(error));
                if (loggingIn && dynamic_cast<const EImapFolderError*>(&error) == nullptr)
                    Text = WithRefusalNote(Text, RefusalNote());
            }
        } catch (const std::exception& error) {
            if (!Passed)
                Text = FailureText(error);
        }
        try {
            Session->Disconnect();
        } catch (...) {
            // Nothing more to say about a connection that is closing.
        }
    }

    const TAccountTestSettings Settings;
    std::unique_ptr<TWinshoeMessageClient> Client;
    std::unique_ptr<IMailboxSession> Session;
    std::atomic<bool> Stopped{false};
    // Read once the thread has finished.
    bool Passed = false;
    QString Text;

private:
    QString RefusalNote() const {
        return AccountRefusalNote(QString::fromStdString(Settings.Server),
                                  QString::fromStdString(Settings.EmailAddress),
                                  QString::fromStdString(Settings.Login));
    }
};

TAccountTest::TAccountTest(QObject* parent) : QObject(parent), Deadline(new QTimer(this)) {
    Deadline->setSingleShot(true);
    connect(Deadline, &QTimer::timeout, this, [this] {
        if (Current == nullptr)
            return;
        Current->Stop();
        Current = nullptr;
        Report(false, QString::fromUtf8(ConnectionTimeoutText));
    });
}

TAccountTest::~TAccountTest() {
    const auto runs = findChildren<TRun*>(Qt::FindDirectChildrenOnly);
    for (TRun* run : runs)
        run->Stop();
    for (TRun* run : runs)
        run->wait();
}

void TAccountTest::Start(const TAccountTestSettings& settings) {
    if (Current != nullptr) {
        Current->Stop();
        Current = nullptr;
    }
    auto* run = new TRun(settings, this);
    connect(run, &QThread::finished, this, [this, run] { RunEnded(run); });
    Current = run;
    Deadline->start(Limit);
    run->start();
}

void TAccountTest::Stop() {
    if (Current == nullptr)
        return;
    Current->Stop();
    Current = nullptr;
    Report(false, QString::fromUtf8(StoppedByUserText));
}

void TAccountTest::RunEnded(TRun* run) {
    run->wait();
    run->deleteLater();
    if (run != Current)
        return;
    Current = nullptr;
    Report(run->Passed, run->Text);
}

void TAccountTest::Report(bool passed, const QString& text) {
    Deadline->stop();
    emit Finished(passed, text);
}

QString TAccountTest::RunningText() {
    return QStringLiteral("Testing the account...");
}

QString TAccountTest::PassedText(TServerType type, int messages, const QString& folder) {
    const QString count =
        messages == 1 ? QStringLiteral("1 message") : QStringLiteral("%1 messages").arg(messages);
    if (type == TServerType::IMAP)
        return QStringLiteral("The account works: Talvoro logged in and found %1 in %2.")
            .arg(count, folder);
    return QStringLiteral("The account works: Talvoro logged in and found %1.").arg(count);
}
