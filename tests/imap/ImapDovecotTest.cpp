// The IMAP client against a real Dovecot started for these tests (skipped without it): every
// security mode, what counts as unseen and above a UID, folders by name, and the refusals. What
// a check makes of mail removed elsewhere and of a renumbered folder is tested with the worker.

#include <chrono>
#include <filesystem>
#include <memory>

#include <gtest/gtest.h>

#include "DovecotServer.h"
#include "RecordingProxy.h"
#include "TestCertificates.h"
#include "Watchdog.h"
#include "imap/ImapClient.h"
#include "imap/ImapExceptions.h"

using namespace std::chrono_literals;
using Security = TWinshoeSecurity;
using Uids = std::vector<std::uint32_t>;

namespace {

std::string Mail(int n) {
    return "From: Sender " + std::to_string(n) + " <s" + std::to_string(n) +
           "@example.org>\nSubject: Message " + std::to_string(n) + "\nMessage-ID: <" +
           std::to_string(n) + "@example.org>\n\nBody\n";
}

class ImapDovecot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!DovecotServer::Available()) {
            return;
        }
        char folder[] = "/tmp/tviXXXXXX";
        Folder = ::mkdtemp(folder);
        std::filesystem::permissions(Folder, std::filesystem::perms(0755));
        Certificates = std::make_unique<TestCertificates>(Folder);
        const auto good = Certificates->Issue(
            "good", {"DNS:localhost", "IP:127.0.0.1", "IP:127.0.0.2", "IP:::1"});
        ::setenv("SSL_CERT_FILE", Certificates->AuthorityFile().c_str(), 1);
        DovecotServer::Options options;
        options.Imap = true;
        options.Tls = true;
        options.TlsFiles = {good.Certificate, good.Key, {}};
        Server = std::make_unique<DovecotServer>(
            std::vector<DovecotServer::User>{{"alice", "w0nder"}, {"dave", "d4ve"}}, options);
        for (int n = 1; n <= 3; ++n) {
            Server->Deliver("alice", Mail(n), {"", n == 2, false});
        }
    }

    static void TearDownTestSuite() {
        Server.reset();
        Certificates.reset();
        if (!Folder.empty()) {
            std::filesystem::remove_all(Folder);
        }
    }

    void SetUp() override {
        if (!Server) {
            GTEST_SKIP() << "dovecot is not installed (Debian packages dovecot-core, "
                            "dovecot-imapd); skipping the tests against a real server";
        }
        Use("alice", "w0nder");
    }

    void Use(const std::string& user, const std::string& password,
             const std::string& host = "127.0.0.1", Security security = Security::None) {
        Client.SetHost(host);
        Client.SetSecurity(security);
        Client.SetPort(security == Security::SSLTLS ? Server->ImapSecurePort()
                                                    : Server->ImapPort());
        Client.SetUserID(user);
        Client.SetPassword(password);
    }

    // One session on the folder: connect, examine, the steps, log out.
    void Session(const std::function<void(const TImapClient::TFolderStatus&)>& steps,
                 const std::string& folder = "INBOX") {
        Watchdog watchdog(Client, 20s);
        Client.Connect();
        steps(Client.Examine(folder));
        Client.Logout();
        Client.Disconnect();
        EXPECT_FALSE(watchdog.Fired());
    }

    static inline std::string Folder;
    static inline std::unique_ptr<TestCertificates> Certificates;
    static inline std::unique_ptr<DovecotServer> Server;
    TImapClient Client;
    TWinshoeMessage Message;
};

} // namespace

TEST_F(ImapDovecot, EverySecurityModeReadsTheMailboxWithoutChangingIt) {
    struct Case {
        std::string Host;
        Security Mode;
    };
    const std::vector<Case> cases = {{"127.0.0.1", Security::None},
                                     {"127.0.0.1", Security::SSLTLS},
                                     {"localhost", Security::STARTTLS},
                                     // This listener refuses logins before TLS.
                                     {"127.0.0.2", Security::STARTTLS}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Host + " " + std::to_string(static_cast<int>(c.Mode)));
        Use("alice", "w0nder", c.Host, c.Mode);
        Session([&](const TImapClient::TFolderStatus& status) {
            EXPECT_EQ(Client.Secure(), c.Mode != Security::None);
            EXPECT_TRUE(Client.HasCapability("IDLE"));
            EXPECT_EQ(status.Exists, 3u);
            EXPECT_NE(status.UidValidity, 0u);
            EXPECT_EQ(status.UidNext, 4u);
            EXPECT_EQ(Client.HighestUid(), 3u);
            // Message 2 was read elsewhere; above the newest, nothing (not even the newest).
            EXPECT_EQ(Client.UnseenAbove(0), (Uids{1, 3}));
            EXPECT_EQ(Client.UnseenAbove(1), (Uids{3}));
            EXPECT_EQ(Client.UnseenAbove(3), (Uids{}));
            ASSERT_TRUE(Client.FetchHeader(3, Message));
            EXPECT_EQ(Message.From(), "Sender 3 <s3@example.org>");
            EXPECT_EQ(Message.Subject(), "Message 3");
            EXPECT_EQ(Message.MsgID(), "<3@example.org>");
            EXPECT_EQ(Message.MsgNo(), 3);
            EXPECT_FALSE(Client.FetchHeader(99, Message));
            EXPECT_EQ(Message.Subject(), "");
        });
    }
}

TEST_F(ImapDovecot, RefusedLogins) {
    // Before TLS this listener announces LOGINDISABLED: the password must not cross the wire.
    RecordingProxy proxy("127.0.0.2", Server->ImapPort());
    Use("alice", "w0nder");
    Client.SetPort(proxy.Port());
    EXPECT_THROW(Client.Connect(), EWinshoeTLSRequired);
    EXPECT_EQ(proxy.ClientBytes().find("w0nder"), std::string::npos) << proxy.ClientBytes();
    EXPECT_EQ(proxy.ClientBytes().find("AGFsaWNlAHcwbmRlcg"), std::string::npos);

    Use("alice", "wrong");
    try {
        Client.Connect();
        ADD_FAILURE() << "logged in";
    } catch (const EWinshoeResponseError& e) {
        EXPECT_EQ(std::string(e.what()), "[AUTHENTICATIONFAILED] Authentication failed.");
    }
    EXPECT_FALSE(Client.Connected());

    // SSL/TLS on the plain port, and a plain client on the TLS port, say why they fail.
    Use("alice", "w0nder", "127.0.0.1", Security::SSLTLS);
    Client.SetPort(Server->ImapPort());
    try {
        Client.Connect();
        ADD_FAILURE() << "connected";
    } catch (const EWinshoeTLSError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The server does not use SSL/TLS on this port: choose STARTTLS or None");
    }
    Use("alice", "w0nder");
    Client.SetPort(Server->ImapSecurePort());
    Client.SetTLSPortCheck(Server->ImapSecurePort(), 300);
    EXPECT_THROW(Client.Connect(), EWinshoeTLSRequired);
}

TEST_F(ImapDovecot, FoldersByName) {
    Use("dave", "d4ve");
    Server->CreateFolder("dave", "Archive");
    Server->CreateFolder("dave", "Entw&APw-rfe");
    Server->Deliver("dave", Mail(1), {"Archive", false, false});
    Server->Deliver("dave", Mail(2), {"Archive", false, false});
    Server->Deliver("dave", Mail(3), {"Entw&APw-rfe", false, false});
    Session([](const TImapClient::TFolderStatus& status) { EXPECT_EQ(status.Exists, 2u); },
            "Archive");
    Session(
        [&](const TImapClient::TFolderStatus& status) {
            EXPECT_EQ(status.Exists, 1u);
            ASSERT_TRUE(Client.FetchHeader(Client.HighestUid(), Message));
            EXPECT_EQ(Message.Subject(), "Message 3");
        },
        "Entw\xC3\xBCrfe");
    Session([&](const TImapClient::TFolderStatus&) {
        try {
            Client.Examine("Nowhere");
            ADD_FAILURE() << "opened";
        } catch (const EImapFolderError& e) {
            EXPECT_TRUE(e.Missing());
            EXPECT_EQ(std::string(e.what()).rfind("The folder \"Nowhere\" does not exist on the "
                                                  "server (server: ",
                                                  0),
                      0u)
                << e.what();
        }
        // The session goes on.
        EXPECT_EQ(Client.Examine("").Exists, 0u);
    });
}
