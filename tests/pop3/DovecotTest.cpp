// The POP3 client against a real Dovecot started for these tests.

#include <chrono>
#include <memory>

#include <gtest/gtest.h>

#include "DovecotServer.h"
#include "Watchdog.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoePOP3.h"

using namespace std::chrono_literals;

namespace {

const std::string LongSubject(300, 's');

class Dovecot : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!DovecotServer::Available()) {
            return;
        }
        Server = std::make_unique<DovecotServer>(std::vector<DovecotServer::User>{
            {"alice", "wonder"}, {"empty", "nothing"}, {"carol", "c4r0l"}});
        for (int i = 1; i <= 7; ++i) {
            Server->Deliver("alice", "From: Sender " + std::to_string(i) + " <s" +
                                         std::to_string(i) +
                                         "@example.org>\n"
                                         "Subject: Message " +
                                         std::to_string(i) +
                                         "\n"
                                         "Message-ID: <" +
                                         std::to_string(i) +
                                         "@example.org>\n"
                                         "\nBody " +
                                         std::to_string(i) + "\n");
        }
        Server->Deliver("carol", "From: Folded Sender\n <folded@example.org>\n"
                                 "Subject: A subject that is\n\tfolded twice\n  over three lines\n"
                                 "To: \"Doe, Jane\" <jane@example.org>, bob@example.org\n"
                                 "Message-ID: <folded@example.org>\n\nbody\n");
        Server->Deliver("carol", "From: first@example.org\nFrom: second@example.org\n"
                                 "Subject: no id\n\nbody\n");
        Server->Deliver("carol", "From: long@example.org\nSubject: " + LongSubject +
                                     "\nMessage-ID: <long@example.org>\n\nbody\n");
        // Headers only: no empty line, no body.
        Server->Deliver("carol", "From: bare@example.org\r\nSubject: headers only\r\n");
    }

    static void TearDownTestSuite() { Server.reset(); }

    void SetUp() override {
        if (!DovecotServer::Available()) {
            GTEST_SKIP() << "dovecot is not installed (Debian packages dovecot-core, "
                            "dovecot-pop3d); skipping the tests against a real server";
        }
        ASSERT_NE(Server, nullptr);
        Client.SetHost(Server->Host());
        Client.SetPort(Server->Port());
        Client.SetOnStatus([this](const std::string& text) { Statuses.push_back(text); });
    }

    void LogIn(const std::string& user, const std::string& password) {
        Client.SetUserID(user);
        Client.SetPassword(password);
        Client.Connect();
    }

    static std::unique_ptr<DovecotServer> Server;
    // Declared first: the client reports "Disconnecting" to it while it is destroyed.
    std::vector<std::string> Statuses;
    TWinshoePOP3 Client;
    TWinshoeMessage Message;
};

std::unique_ptr<DovecotServer> Dovecot::Server;

} // namespace

TEST_F(Dovecot, NormalSessionWithSevenMessages) {
    LogIn("alice", "wonder");
    EXPECT_EQ(Client.ReplyLine(), "+OK Logged in.");
    EXPECT_EQ(Client.CheckMessages(), 7);
    for (int n = 7; n >= 1; --n) {
        EXPECT_TRUE(Client.RetrieveHeader(n, Message));
        const std::string i = std::to_string(n);
        EXPECT_EQ(Message.From(), "Sender " + i + " <s" + i + "@example.org>");
        EXPECT_EQ(Message.Subject(), "Message " + i);
        EXPECT_EQ(Message.MsgID(), "<" + i + "@example.org>");
    }
    Client.Quit();
    EXPECT_EQ(Client.ReplyLine(), "+OK Logging out.");
    Client.Disconnect();
    EXPECT_EQ(Statuses.front(), "Connecting to 127.0.0.1");
    EXPECT_EQ(Statuses[2], "Connected");
    EXPECT_EQ(Statuses.back(), "Disconnected");
}

TEST_F(Dovecot, WrongPasswordThenRightOne) {
    try {
        LogIn("alice", "wrong");
        FAIL();
    } catch (const EWinshoeResponseError& e) {
        EXPECT_STREQ(e.what(), "-ERR [AUTH] Authentication failed.");
    }
    EXPECT_FALSE(Client.Connected());
    LogIn("alice", "wonder");
    EXPECT_EQ(Client.CheckMessages(), 7);
    Client.Quit();
}

TEST_F(Dovecot, EmptyMailbox) {
    LogIn("empty", "nothing");
    EXPECT_EQ(Client.CheckMessages(), 0);
    EXPECT_EQ(Client.ReplyLine(), "+OK 0 0");
    EXPECT_THROW(Client.RetrieveHeader(1, Message), EWinshoeResponseError);
    Client.Quit();
}

TEST_F(Dovecot, HeadersAsTheyComeFromARealServer) {
    LogIn("carol", "c4r0l");
    ASSERT_EQ(Client.CheckMessages(), 4);
    Watchdog watchdog(Client, 10s);

    ASSERT_TRUE(Client.RetrieveHeader(1, Message));
    EXPECT_EQ(Message.From(), "Folded Sender <folded@example.org>");
    EXPECT_EQ(Message.Subject(), "A subject that is folded twice over three lines");
    EXPECT_EQ(Message.Too(),
              (std::vector<std::string>{"\"Doe, Jane\" <jane@example.org>", "bob@example.org"}));

    ASSERT_TRUE(Client.RetrieveHeader(2, Message));
    EXPECT_EQ(Message.From(), "first@example.org");
    EXPECT_EQ(Message.MsgID(), "");
    EXPECT_TRUE(Message.Too().empty());

    ASSERT_TRUE(Client.RetrieveHeader(3, Message));
    EXPECT_EQ(Message.Subject(), LongSubject);

    // Dovecot sends "." right after the last header line here.
    ASSERT_TRUE(Client.RetrieveHeader(4, Message));
    EXPECT_EQ(Message.Subject(), "headers only");
    EXPECT_EQ(Message.From(), "bare@example.org");
    // On the wire that reply has no empty line before its ".".
    Client.SendCommand("TOP 4 0", 1);
    EXPECT_EQ(Client.ReadLine(), "From: bare@example.org");
    EXPECT_EQ(Client.ReadLine(), "Subject: headers only");
    EXPECT_EQ(Client.ReadLine(), ".");

    Client.Quit();
    EXPECT_FALSE(watchdog.Fired());
}

TEST_F(Dovecot, DeliveriesAndDeletionsShowAtTheNextLogin) {
    DovecotServer own(std::vector<DovecotServer::User>{{"dave", "pw"}});
    Client.SetPort(own.Port());
    own.Deliver("dave", "Subject: one\n\n");
    own.Deliver("dave", "Subject: two\n\n");
    LogIn("dave", "pw");
    EXPECT_EQ(Client.CheckMessages(), 2);
    Client.Quit();
    Client.Disconnect();

    EXPECT_TRUE(own.Delete("dave", 1));
    own.Deliver("dave", "Subject: three\n\n");
    LogIn("dave", "pw");
    EXPECT_EQ(Client.CheckMessages(), 2);
    ASSERT_TRUE(Client.RetrieveHeader(1, Message));
    EXPECT_EQ(Message.Subject(), "two");
    ASSERT_TRUE(Client.RetrieveHeader(2, Message));
    EXPECT_EQ(Message.Subject(), "three");
    Client.Quit();
    Client.Disconnect();

    own.Stop();
    EXPECT_THROW(LogIn("dave", "pw"), EWinshoeSocketError);
}
