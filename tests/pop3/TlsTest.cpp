// Connection security against a real Dovecot with throw-away certificates: SSL/TLS and STARTTLS
// sessions, certificates that do not verify, trusting one by its fingerprint, servers that do
// not offer STARTTLS or expect TLS, what crosses the wire, and Stop during the handshake.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>

#include <gtest/gtest.h>

#include "DovecotServer.h"
#include "FakeServer.h"
#include "RecordingProxy.h"
#include "TestCertificates.h"
#include "Watchdog.h"
#include "platform/ProgramModule.h"
#include "pop3/TlsEngine.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoePOP3.h"

using namespace std::chrono_literals;
using S = FakeServer;
using Security = TWinshoeSecurity;

namespace {

struct Shared {
    std::string Folder;
    std::unique_ptr<TestCertificates> Certificates;
    std::unique_ptr<DovecotServer> Server;
    std::string SelfFile;
    std::string WrongFile;
};

Shared* World = nullptr;

class Tls : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!DovecotServer::Available()) {
            return;
        }
        World = new Shared;
        char folder[] = "/tmp/tvcXXXXXX";
        World->Folder = ::mkdtemp(folder);
        std::filesystem::permissions(World->Folder, std::filesystem::perms(0755));
        World->Certificates = std::make_unique<TestCertificates>(World->Folder);
        TestCertificates& certificates = *World->Certificates;
        const auto good =
            certificates.Issue("good", {"DNS:localhost", "IP:127.0.0.1", "IP:127.0.0.2", "IP:::1"});
        const auto expired = certificates.Issue(
            "expired", {"IP:127.0.0.3"}, -10 * TestCertificates::Day, -1 * TestCertificates::Day);
        const auto wrong = certificates.Issue("wrong", {"DNS:other.example"});
        const auto self = certificates.SelfSigned("self", {"IP:127.0.0.5"});
        World->SelfFile = self.Certificate;
        World->WrongFile = wrong.Certificate;
        // The client trusts the throw-away authority (OpenSSL reads this at the first secure
        // connection of the process).
        ::setenv("SSL_CERT_FILE", certificates.AuthorityFile().c_str(), 1);

        DovecotServer::TlsSettings tls{good.Certificate, good.Key, {}};
        tls.Others = {{"127.0.0.3", expired.Certificate, expired.Key},
                      {"127.0.0.4", wrong.Certificate, wrong.Key},
                      {"127.0.0.5", self.Certificate, self.Key}};
        World->Server = std::make_unique<DovecotServer>(
            std::vector<DovecotServer::User>{{"alice", "w0nder"}}, tls);
        for (int i = 1; i <= 3; ++i) {
            World->Server->Deliver("alice", "From: Sender <s@example.org>\nSubject: Message " +
                                                std::to_string(i) + "\n\nBody\n");
        }
    }

    static void TearDownTestSuite() {
        if (World != nullptr) {
            World->Server.reset();
            std::filesystem::remove_all(World->Folder);
            delete World;
            World = nullptr;
        }
    }

    void SetUp() override {
        if (World == nullptr) {
            GTEST_SKIP() << "dovecot is not installed; skipping the TLS tests";
        }
        Client.SetUserID("alice");
        Client.SetPassword("w0nder");
    }

    void Use(const std::string& host, Security security) {
        Client.SetHost(host);
        Client.SetSecurity(security);
        Client.SetPort(security == Security::SSLTLS ? Server().SecurePort() : Server().Port());
    }

    static DovecotServer& Server() { return *World->Server; }

    TWinshoePOP3 Client;
    TWinshoeMessage Message;
};

} // namespace

TEST_F(Tls, PlainSessionDoesNotLoadTheTLSModule) {
    Use("127.0.0.1", Security::None);
    Client.Connect();
    EXPECT_EQ(Client.CheckMessages(), 3);
    Client.Quit();
    EXPECT_FALSE(Client.Secure());
    EXPECT_FALSE(platform::ModuleLoaded(TlsModuleName));
}

TEST_F(Tls, SecureSessions) {
    struct Case {
        std::string Host;
        Security Mode;
    };
    std::vector<Case> cases = {{"127.0.0.1", Security::SSLTLS},
                               {"LocalHost", Security::SSLTLS},
                               {"127.0.0.1", Security::STARTTLS},
                               // This listener refuses logins before TLS; after STLS it takes them.
                               {"127.0.0.2", Security::STARTTLS}};
    if (DovecotServer::IPv6Available()) {
        cases.push_back({"::1", Security::SSLTLS});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Host + (c.Mode == Security::SSLTLS ? " SSL/TLS" : " STARTTLS"));
        std::vector<std::string> statuses;
        Client.SetOnStatus([&](const std::string& text) { statuses.push_back(text); });
        Use(c.Host, c.Mode);
        Watchdog watchdog(Client, 20s);
        Client.Connect();
        EXPECT_TRUE(Client.Secure());
        EXPECT_EQ(Client.CheckMessages(), 3);
        ASSERT_TRUE(Client.RetrieveHeader(3, Message));
        EXPECT_EQ(Message.Subject(), "Message 3");
        Client.Quit();
        Client.Disconnect();
        EXPECT_FALSE(watchdog.Fired());
        EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Secure connection (TLSv1.3)"),
                  statuses.end());
        Client.SetOnStatus(nullptr);
    }
    EXPECT_TRUE(platform::ModuleLoaded(TlsModuleName));
}

TEST_F(Tls, CertificatesThatDoNotVerifyAreRefusedWithTheirReason) {
    struct Case {
        std::string Host;
        std::string Reason;
        std::string File;
    };
    const std::string folder = World->Folder;
    for (const Case& c :
         {Case{"127.0.0.3", "it has expired", folder + "/expired.pem"},
          Case{"127.0.0.4", "it was issued for another name than 127.0.0.4", World->WrongFile},
          Case{"127.0.0.5", "it is self-signed and not trusted", World->SelfFile}}) {
        for (const Security mode : {Security::SSLTLS, Security::STARTTLS}) {
            SCOPED_TRACE(c.Host);
            Use(c.Host, mode);
            try {
                Client.Connect();
                ADD_FAILURE() << "accepted";
            } catch (const EWinshoeCertificateError& e) {
                const std::string fingerprint = TestCertificates::Fingerprint(c.File);
                EXPECT_EQ(e.ServerName(), c.Host);
                EXPECT_EQ(e.Fingerprint(), fingerprint);
                EXPECT_EQ(e.Reason(), c.Reason);
                EXPECT_EQ(std::string(e.what()),
                          "The server's certificate was not accepted: " + c.Reason +
                              " (SHA-256 fingerprint " + FingerprintForDisplay(fingerprint) + ")");
            }
            EXPECT_FALSE(Client.Connected());
        }
    }
}

TEST_F(Tls, TrustedCertificateAcceptsExactlyThatCertificateForThatServer) {
    Use("127.0.0.5", Security::SSLTLS);
    std::string setting;
    try {
        Client.Connect();
        FAIL() << "a self-signed certificate was accepted";
    } catch (const EWinshoeCertificateError& e) {
        setting = e.TrustedCertificateSetting();
    }
    ASSERT_TRUE(Client.RefusedCertificate().has_value());
    EXPECT_EQ(FormatTrustedCertificate(*Client.RefusedCertificate()), setting);
    EXPECT_EQ(setting, "127.0.0.5 " + TestCertificates::Fingerprint(World->SelfFile));

    Client.SetTrustedCertificate(setting);
    Client.Connect();
    EXPECT_FALSE(Client.RefusedCertificate().has_value());
    EXPECT_EQ(Client.CheckMessages(), 3);
    Client.Quit();
    Client.Disconnect();

    const std::string other = TestCertificates::Fingerprint(World->WrongFile);
    // Another certificate for the trusted server is refused, even one that verifies.
    for (const std::string host : {"127.0.0.5", "127.0.0.1"}) {
        SCOPED_TRACE(host);
        Client.SetTrustedCertificate(host + " " + other);
        Use(host, Security::SSLTLS);
        try {
            Client.Connect();
            ADD_FAILURE() << "accepted a certificate other than the trusted one";
        } catch (const EWinshoeCertificateError& e) {
            EXPECT_EQ(e.Reason(), "it is not the certificate you chose to trust for this server");
        }
    }
    // A setting for another server changes nothing here.
    Client.SetTrustedCertificate(setting);
    Use("127.0.0.1", Security::SSLTLS);
    EXPECT_NO_THROW(Client.Connect());
}

TEST_F(Tls, PasswordNeverCrossesTheWireInClearWhenTLSWasChosen) {
    for (const Security mode : {Security::None, Security::SSLTLS, Security::STARTTLS}) {
        Use("127.0.0.1", mode);
        RecordingProxy proxy("127.0.0.1", Client.Port());
        Client.SetPort(proxy.Port());
        Client.Connect();
        EXPECT_EQ(Client.CheckMessages(), 3);
        Client.Quit();
        Client.Disconnect();
        proxy.Stop();
        const bool seen = proxy.ClientBytes().find("w0nder") != std::string::npos;
        EXPECT_EQ(seen, mode == Security::None) << "security " << static_cast<int>(mode);
    }
}

TEST_F(Tls, STARTTLSThatIsNotOfferedOrRefusedNeverSendsThePassword) {
    DovecotServer plain(std::vector<DovecotServer::User>{{"alice", "w0nder"}});
    Client.SetHost("127.0.0.1");
    Client.SetSecurity(Security::STARTTLS);
    Client.SetPort(plain.Port());
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeSTLSUnavailable& e) {
        EXPECT_STREQ(e.what(), "The server does not offer STARTTLS, so the password was not sent");
    }
    EXPECT_FALSE(Client.Connected());

    FakeServer fake;
    const S::Script greeting = {S::Send("+OK ready\r\n"), S::Expect("CAPA")};
    S::Script noCapa = greeting, refused = greeting, injected = greeting;
    noCapa.push_back(S::Send("-ERR Unknown command\r\n"));
    refused.push_back(S::Send("+OK\r\nUSER\r\nSTLS\r\n.\r\n"));
    refused.push_back(S::Expect("STLS"));
    refused.push_back(S::Send("-ERR TLS support isn't enabled.\r\n"));
    // Plain text after the STLS reply would be taken as coming through TLS.
    injected.push_back(S::Send("+OK\r\nSTLS\r\n.\r\n"));
    injected.push_back(S::Expect("STLS"));
    injected.push_back(S::Send("+OK Begin TLS negotiation now.\r\n+OK Logged in.\r\n"));
    // A server that agrees to STLS and then answers the handshake in plain text.
    S::Script broken = greeting;
    broken.push_back(S::Send("+OK\r\nSTLS\r\n.\r\n"));
    broken.push_back(S::Expect("STLS"));
    broken.push_back(S::Send("+OK Begin TLS negotiation now.\r\n"));
    broken.push_back(S::AwaitBytes());
    broken.push_back(S::Send("-ERR Unknown command.\r\n"));
    Client.SetPort(fake.Port());
    const std::pair<S::Script, std::string> cases[] = {
        {noCapa, "The server does not offer STARTTLS, so the password was not sent (server: "
                 "Unknown command)"},
        {refused, "The server refused STARTTLS, so the password was not sent (server: TLS "
                  "support isn't enabled.)"},
        {injected, "The server sent more than its answer to STLS; the connection was closed and "
                   "the password was not sent"},
        {broken, "The server agreed to STARTTLS but went on in plain text; the connection was "
                 "closed and the password was not sent"}};
    for (const auto& [script, text] : cases) {
        fake.AddConnection(script);
        try {
            Client.Connect();
            ADD_FAILURE() << text;
        } catch (const EWinshoeTLSError& e) {
            EXPECT_EQ(e.what(), text);
        }
    }
    ASSERT_TRUE(fake.WaitForConnections(4));
    EXPECT_EQ(fake.Received(),
              (std::vector<std::string>{"CAPA", "CAPA", "STLS", "CAPA", "STLS", "CAPA", "STLS"}));
}

TEST_F(Tls, PlainConnectionToATLSServerSaysSoAtOnce) {
    // Dovecot's TLS port waits in silence for a handshake.
    Use("127.0.0.1", Security::None);
    Client.SetPort(Server().SecurePort());
    Client.SetTLSPortCheck(Server().SecurePort(), 300);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_THROW(
        {
            try {
                Client.Connect();
            } catch (const EWinshoeTLSRequired& e) {
                EXPECT_STREQ(e.what(), "The server expects a secure connection: choose SSL/TLS");
                throw;
            }
        },
        EWinshoeTLSRequired);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);

    // A server that answers with a TLS record (here an alert) is recognised on any port.
    FakeServer fake;
    fake.AddConnection({S::Send(std::string("\x15\x03\x03\x00\x02\x02\x46", 7)), S::Hang()});
    Client.SetPort(fake.Port());
    EXPECT_THROW(Client.Connect(), EWinshoeTLSRequired);
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Tls, WrongSecurityForTheServerGivesItsOwnText) {
    // A server that demands TLS before login, spoken to in plain text: its reply is the message.
    Use("127.0.0.2", Security::None);
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeResponseError& e) {
        EXPECT_STREQ(e.what(), "-ERR [AUTH] Plaintext authentication disallowed on non-secure "
                               "(SSL/TLS) connections.");
    }
    // SSL/TLS on the plain port.
    Use("127.0.0.1", Security::SSLTLS);
    Client.SetPort(Server().Port());
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeTLSError& e) {
        EXPECT_STREQ(e.what(),
                     "The server does not use SSL/TLS on this port: choose STARTTLS or None");
    }
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Tls, StopInterruptsTheHandshakeAndSecureReads) {
    FakeServer silent;
    silent.AddConnection({S::Hang()});
    Client.SetHost("127.0.0.1");
    Client.SetSecurity(Security::SSLTLS);
    Client.SetPort(silent.Port());
    {
        Watchdog watchdog(Client, 300ms);
        try {
            Client.Connect();
            FAIL();
        } catch (const EWinshoeSocketError& e) {
            EXPECT_EQ(e.ErrorCode(), 10004);
        }
        EXPECT_TRUE(watchdog.Fired());
    }
    EXPECT_FALSE(Client.Connected());

    Use("127.0.0.1", Security::SSLTLS);
    Client.Connect();
    Watchdog watchdog(Client, 300ms);
    // Nothing was asked, so nothing comes: the read waits until the socket is closed.
    EXPECT_THROW(Client.ReadLine(), EWinshoeSocketError);
    EXPECT_TRUE(watchdog.Fired());
    EXPECT_FALSE(Client.Connected());
    EXPECT_THROW(Client.Quit(), EWinshoeClosedSocket);
}
