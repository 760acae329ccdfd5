// The IMAP dialogue on the wire, against a scripted server: how the login is written, when the
// password is never sent, IDLE's batches, and replies that end the session.

#include <chrono>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "Watchdog.h"
#include "imap/ImapClient.h"
#include "imap/ImapExceptions.h"

using namespace std::chrono_literals;
using Script = FakeServer::Script;
using S = FakeServer;

namespace {

class ImapSession : public ::testing::Test {
protected:
    void SetUp() override {
        Client.SetHost("127.0.0.1");
        Client.SetUserID("bob");
        Client.SetPassword("secret");
    }

    // Plays the script against Connect() and whatever follows; returns what the server read.
    std::vector<std::string> Play(const Script& script, const std::function<void()>& then = {}) {
        FakeServer server;
        server.AddConnection(script);
        Client.SetPort(server.Port());
        Watchdog watchdog(Client, 20s);
        Client.Connect();
        if (then) {
            then();
        }
        Client.Disconnect();
        EXPECT_FALSE(watchdog.Fired());
        EXPECT_TRUE(server.WaitForConnections(1));
        EXPECT_TRUE(server.Mismatches().empty()) << server.Mismatches().front();
        return server.Received();
    }

    TImapClient Client;
};

} // namespace

TEST(ImapDefaults, Ports) {
    EXPECT_EQ(TImapClient().Port(), 143);
    EXPECT_EQ(TImapClient::DefaultTLSPort, 993);
}

TEST_F(ImapSession, LoginIsWrittenAsTheServerAllows) {
    struct Case {
        std::string Capabilities;
        std::string User;
        std::string Password;
        Script Exchange;
    };
    const std::vector<Case> cases = {
        {"IMAP4rev1 AUTH=PLAIN SASL-IR",
         "bob",
         "secret",
         {S::Expect("A1 AUTHENTICATE PLAIN AGJvYgBzZWNyZXQ="), S::Send("A1 OK Logged in\r\n")}},
        {"IMAP4rev1 AUTH=PLAIN",
         "bob",
         "secret",
         {S::Expect("A1 AUTHENTICATE PLAIN"), S::Send("+ \r\n"), S::Expect("AGJvYgBzZWNyZXQ="),
          S::Send("A1 OK Logged in\r\n")}},
        {"IMAP4rev1",
         "b\"o\\b",
         "se cret",
         {S::Expect("A1 LOGIN \"b\\\"o\\\\b\" \"se cret\""), S::Send("A1 OK Logged in\r\n")}},
        // 8-bit text goes as a literal: synchronising, or not with LITERAL+.
        {"IMAP4rev1",
         "bob",
         "p\xC3\xA4ss",
         {S::Expect("A1 LOGIN \"bob\" {5}"), S::Send("+ go on\r\n"), S::Expect("p\xC3\xA4ss"),
          S::Send("A1 OK Logged in\r\n")}},
        {"IMAP4rev1 LITERAL+",
         "b\xC3\xB6"
         "b",
         "secret",
         {S::Expect("A1 LOGIN {4+}"),
          S::Expect("b\xC3\xB6"
                    "b \"secret\""),
          S::Send("A1 OK Logged in\r\n")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Capabilities + " " + c.User);
        Client.SetUserID(c.User);
        Client.SetPassword(c.Password);
        Script script = {S::Send("* OK [CAPABILITY " + c.Capabilities + "] ready\r\n")};
        script.insert(script.end(), c.Exchange.begin(), c.Exchange.end());
        // The login's OK listed no capabilities: they are asked for again.
        script.insert(script.end(), {S::Expect("A2 CAPABILITY"),
                                     S::Send("* CAPABILITY IMAP4rev1 IDLE\r\nA2 OK done\r\n")});
        Play(script);
        EXPECT_TRUE(Client.HasCapability("idle"));
    }
}

TEST_F(ImapSession, PasswordIsNeverSentWithoutTheSecurityAsked) {
    struct Case {
        TWinshoeSecurity Security;
        Script Server;
        std::string Error;
    };
    const std::vector<Case> cases = {
        {TWinshoeSecurity::STARTTLS,
         {S::Send("* OK [CAPABILITY IMAP4rev1 AUTH=PLAIN] ready\r\n")},
         "The server does not offer STARTTLS, so the password was not sent"},
        {TWinshoeSecurity::STARTTLS,
         {S::Send("* OK ready\r\n"), S::Expect("A1 CAPABILITY"),
          S::Send("* CAPABILITY IMAP4rev1 STARTTLS\r\nA1 OK\r\n"), S::Expect("A2 STARTTLS"),
          S::Send("A2 NO [UNAVAILABLE] Not now\r\n")},
         "The server refused STARTTLS, so the password was not sent (server: [UNAVAILABLE] Not "
         "now)"},
        {TWinshoeSecurity::STARTTLS,
         {S::Send("* PREAUTH [CAPABILITY IMAP4rev1 STARTTLS] hello\r\n")},
         "The server does not offer STARTTLS, so the password was not sent"},
        {TWinshoeSecurity::None,
         {S::Send("* OK [CAPABILITY IMAP4rev1 STARTTLS LOGINDISABLED AUTH=PLAIN] ready\r\n")},
         "The server accepts the password only over a secure connection, so it was not sent: "
         "choose SSL/TLS or STARTTLS"},
    };
    for (const Case& c : cases) {
        FakeServer server;
        server.AddConnection(c.Server);
        Client.SetPort(server.Port());
        Client.SetSecurity(c.Security);
        try {
            Client.Connect();
            ADD_FAILURE() << "connected";
        } catch (const EWinshoeException& e) {
            EXPECT_EQ(e.what(), c.Error);
        }
        EXPECT_FALSE(Client.Connected());
        server.WaitForConnections(1);
        for (const std::string& line : server.Received()) {
            EXPECT_EQ(line.find("secret"), std::string::npos) << line;
            EXPECT_EQ(line.find("AGJvYgBzZWNyZXQ"), std::string::npos) << line;
        }
    }
    Client.SetUserID("bob\r\nA9 DELETE INBOX");
    EXPECT_THROW(Client.Connect(), EWinshoeUnsafeCommand);
}

TEST_F(ImapSession, IdleReportsEachBatchOnce) {
    int news = 0;
    const auto received =
        Play({S::Send("* PREAUTH [CAPABILITY IMAP4rev1 IDLE] ready\r\n"), S::Expect("A1 IDLE"),
              S::Send("+ idling\r\n"), S::Send("* 1 EXISTS\r\n* 1 RECENT\r\n* 2 EXISTS\r\n"),
              S::Expect("DONE"), S::Send("A1 OK Idle completed.\r\n"), S::Expect("A2 IDLE"),
              S::Send("+ idling\r\n* OK Still here\r\n"), S::Expect("DONE"),
              S::Send("* 1 EXPUNGE\r\nA2 OK Idle completed.\r\n")},
             [&] {
                 Client.Idle(1500ms, [&] { ++news; });
                 EXPECT_EQ(news, 1);
                 EXPECT_EQ(Client.Exists(), 2u);
                 Client.Idle(300ms, [&] { ++news; });
                 EXPECT_EQ(news, 2); // the expunge that came with the end
                 EXPECT_EQ(Client.Exists(), 1u);
             });
    EXPECT_EQ(received, (std::vector<std::string>{"A1 IDLE", "DONE", "A2 IDLE", "DONE"}));
}

TEST_F(ImapSession, RepliesThatEndTheSession) {
    struct Case {
        std::string Reply;
        std::string Error;
    };
    const std::vector<Case> cases = {
        {"* BYE Server shutting down\r\n",
         "The server ended the session (server: Server shutting down)"},
        {"* 1 FETCH (BODY[] {9223372036854775808}\r\n",
         "The server sent a reply with a literal of more than 16777216 bytes; the connection was "
         "closed."},
        {"A9 OK what\r\n", "The server sent a reply that is not IMAP (an answer to a command that "
                           "was not sent); the connection was closed."},
        {"* 1 FETCH (\"open\r\n", "The server sent a reply that is not IMAP (a quoted string "
                                  "without its closing quote); the connection was closed."},
    };
    for (const Case& c : cases) {
        FakeServer server;
        server.AddConnection({S::Send("* PREAUTH [CAPABILITY IMAP4rev1] ready\r\n"),
                              S::Expect("A1 EXAMINE \"INBOX\""), S::Send(c.Reply), S::Hang()});
        Client.SetPort(server.Port());
        Watchdog watchdog(Client, 20s);
        Client.Connect();
        try {
            Client.Examine("");
            ADD_FAILURE() << "examined";
        } catch (const EWinshoeException& e) {
            EXPECT_EQ(e.what(), c.Error);
        }
        EXPECT_FALSE(Client.Connected());
        EXPECT_FALSE(watchdog.Fired());
    }
}
