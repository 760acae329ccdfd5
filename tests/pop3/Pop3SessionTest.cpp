// The POP3 dialogue on the wire, against a scripted server.

#include <chrono>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "Watchdog.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoePOP3.h"
#include "pop3/WinshoeStream.h"

using namespace std::chrono_literals;
using Script = FakeServer::Script;
using S = FakeServer;

namespace {

Script Login(const std::string& greeting = "+OK Dovecot ready.") {
    return {S::Send(greeting + "\r\n"), S::Expect("User bob"), S::Send("+OK\r\n"),
            S::Expect("Pass secret"), S::Send("+OK Logged in.\r\n")};
}

Script operator+(Script a, const Script& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class Pop3Session : public ::testing::Test {
protected:
    void SetUp() override {
        Client.SetHost("127.0.0.1");
        Client.SetPort(Server.Port());
        Client.SetUserID("bob");
        Client.SetPassword("secret");
        Client.SetOnStatus([this](const std::string& text) { Statuses.push_back(text); });
    }

    void LogIn(const Script& rest) {
        Server.AddConnection(Login() + rest);
        Client.Connect();
        Statuses.clear();
    }

    // Declared first: the client reports "Disconnecting" to it while it is destroyed.
    std::vector<std::string> Statuses;
    FakeServer Server;
    TWinshoePOP3 Client;
    TWinshoeMessage Message;
};

} // namespace

TEST(Pop3Defaults, PortIs110) {
    EXPECT_EQ(TWinshoePOP3().Port(), 110);
}

TEST_F(Pop3Session, NormalSessionOnTheWire) {
    Server.AddConnection(Login() +
                         Script{S::Expect("STAT"), S::Send("+OK 2 320\r\n"), S::Expect("TOP 7 0"),
                                S::Send("+OK\r\nFrom: Ann <ann@example.org>\r\nSubject: Lunch\r\n"
                                        "Message-ID: <1@example.org>\r\n\r\n.\r\n"),
                                S::Expect("Quit"), S::Send("+OK Logging out.\r\n")});
    Client.Connect();
    EXPECT_EQ(Client.ReplyLine(), "+OK Logged in.");
    EXPECT_EQ(Client.CheckMessages(), 2);
    EXPECT_TRUE(Client.RetrieveHeader(7, Message));
    EXPECT_EQ(Message.From(), "Ann <ann@example.org>");
    EXPECT_EQ(Message.Subject(), "Lunch");
    EXPECT_EQ(Message.MsgID(), "<1@example.org>");
    Client.Quit();
    EXPECT_TRUE(Client.Connected());
    Client.Disconnect();

    ASSERT_TRUE(Server.WaitForConnections(1));
    EXPECT_TRUE(Server.Mismatches().empty()) << Server.Mismatches().front();
    EXPECT_EQ(Server.Received(),
              (std::vector<std::string>{"User bob", "Pass secret", "STAT", "TOP 7 0", "Quit"}));
    EXPECT_EQ(Statuses, (std::vector<std::string>{
                            "Connecting to 127.0.0.1", "Socket Connected", "Connected",
                            "  User Account is valid", "  Password is valid",
                            "Checking for messages...", "Retrieving headers for message 7...",
                            "Sending quit...", "Disconnecting", "Disconnected"}));
}

TEST_F(Pop3Session, BareGreetingIsAccepted) {
    Server.AddConnection(Login("+OK"));
    EXPECT_NO_THROW(Client.Connect());
    EXPECT_TRUE(Client.Connected());
}

TEST_F(Pop3Session, GreetingNotPositiveIsRefused) {
    for (const std::string greeting : {"+ok hello", "", "-ERR too busy", " +OK leading blank"}) {
        Server.AddConnection({S::Send(greeting + "\r\n")});
        try {
            Client.Connect();
            ADD_FAILURE() << "accepted \"" << greeting << "\"";
        } catch (const EWinshoeConnectRefused& e) {
            EXPECT_EQ(e.what(), greeting);
        }
        EXPECT_FALSE(Client.Connected());
    }
}

TEST_F(Pop3Session, RejectedPasswordDisconnectsAndNextConnectIsFresh) {
    Server.AddConnection({S::Send("+OK ready\r\n"), S::Expect("User bob"), S::Send("+OK\r\n"),
                          S::Expect("Pass secret"),
                          S::Send("-ERR [AUTH] Authentication failed.\r\n")});
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeResponseError& e) {
        EXPECT_STREQ(e.what(), "-ERR [AUTH] Authentication failed.");
    }
    EXPECT_FALSE(Client.Connected());
    EXPECT_EQ(Statuses.back(), "Disconnected");

    Server.AddConnection(Login() + Script{S::Expect("STAT"), S::Send("+OK 3 30\r\n")});
    Client.Connect();
    EXPECT_EQ(Client.CheckMessages(), 3);
}

TEST_F(Pop3Session, CheckMessagesReadsOnlyAWellFormedCount) {
    LogIn({S::Expect("STAT"), S::Send("+OK 0 0\r\n"), S::Expect("STAT"),
           S::Send("+OK 12 99999999999\r\n"), S::Expect("STAT"), S::Send("+OK 12\r\n"),
           S::Expect("STAT"), S::Send("-ERR mailbox locked\r\n"), S::Expect("STAT"), S::Close()});
    EXPECT_EQ(Client.CheckMessages(), 0);
    EXPECT_EQ(Client.CheckMessages(), 12) << "a mailbox size beyond an int is still a size";
    for (const char* reply : {"+OK 12", "-ERR mailbox locked"}) {
        try {
            Client.CheckMessages();
            ADD_FAILURE() << reply << " was taken for a count";
        } catch (const EWinshoeResponseError& e) {
            EXPECT_STREQ(e.what(), reply);
        }
    }
    EXPECT_THROW(Client.CheckMessages(), EWinshoeConnClosedGraceful);
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Pop3Session, HeaderEndingAtTheDotLineDoesNotWait) {
    // Dovecot's answer for a message without a blank line after its headers.
    LogIn({S::Expect("TOP 1 0"), S::Send("+OK\r\nFrom: a@b\r\nSubject: only headers\r\n.\r\n"),
           S::Expect("TOP 2 0"), S::Send("+OK\r\nSubject: next\r\n\r\n.\r\n"), S::Hang()});
    Watchdog watchdog(Client, 5s);
    EXPECT_TRUE(Client.RetrieveHeader(1, Message));
    EXPECT_EQ(Message.Subject(), "only headers");
    EXPECT_EQ(Message.From(), "a@b");
    // Nothing beyond the "." was read: the next reply is in step.
    EXPECT_TRUE(Client.RetrieveHeader(2, Message));
    EXPECT_EQ(Message.Subject(), "next");
    EXPECT_FALSE(watchdog.Fired());
}

TEST_F(Pop3Session, HeaderReplyEndings) {
    LogIn({S::Expect("TOP 1 0"), S::Send("+OK\r\nSubject: a\r\n\r\n\r\n\r\n.\r\n"),
           S::Expect("TOP 2 0"), S::Send("+OK\r\nSubject: b\r\n\r\nbody line\r\n"),
           S::Expect("TOP 3 0"), S::Send("+OK\r\n..Dotted: yes\r\nSubject: c\r\n\r\n.\r\n"),
           S::Expect("TOP 4 0"), S::Send("+OK\r\n\r\n.\r\n")});
    EXPECT_TRUE(Client.RetrieveHeader(1, Message));
    EXPECT_EQ(Message.Subject(), "a");
    // Something else than "." after the header: false, and that line is consumed.
    EXPECT_FALSE(Client.RetrieveHeader(2, Message));
    EXPECT_TRUE(Client.RetrieveHeader(3, Message));
    EXPECT_EQ(Message.Headers().front(), ".Dotted=yes");
    EXPECT_EQ(Message.Subject(), "c");
    EXPECT_TRUE(Client.RetrieveHeader(4, Message));
    EXPECT_TRUE(Message.Headers().empty());
}

TEST_F(Pop3Session, NegativeTopRaisesAndKeepsConnection) {
    LogIn({S::Expect("TOP 9 0"), S::Send("-ERR There's no message 9.\r\n"), S::Expect("Quit"),
           S::Send("+OK Logging out.\r\n")});
    try {
        Client.RetrieveHeader(9, Message);
        FAIL();
    } catch (const EWinshoeResponseError& e) {
        EXPECT_STREQ(e.what(), "-ERR There's no message 9.");
    }
    EXPECT_TRUE(Client.Connected());
    EXPECT_TRUE(Statuses.empty());
    Client.Quit();
    Client.Disconnect();
    EXPECT_EQ(Statuses,
              (std::vector<std::string>{"Sending quit...", "Disconnecting", "Disconnected"}));
}

TEST_F(Pop3Session, NegativeQuitRaises) {
    LogIn({S::Expect("Quit"), S::Send("-ERR not yet\r\n")});
    EXPECT_THROW(Client.Quit(), EWinshoeResponseError);
}

TEST_F(Pop3Session, AbruptCloseAtEveryStep) {
    const Script full =
        Login() + Script{S::Expect("STAT"),    S::Send("+OK 1 10\r\n"),
                         S::Expect("TOP 1 0"), S::Send("+OK\r\nSubject: s\r\n\r\n.\r\n"),
                         S::Expect("Quit"),    S::Send("+OK bye\r\n")};
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        SCOPED_TRACE("server closes after step " + std::to_string(cut));
        Script script(full.begin(), full.begin() + static_cast<long>(cut));
        script.push_back(S::Close());
        Server.AddConnection(script);
        Watchdog watchdog(Client, 5s);
        bool failed = false;
        try {
            Client.Connect();
            Client.CheckMessages();
            Client.RetrieveHeader(1, Message);
            Client.Quit();
        } catch (const EWinshoeException&) {
            failed = true;
        }
        EXPECT_TRUE(failed);
        EXPECT_FALSE(watchdog.Fired());
        Client.Disconnect();
        EXPECT_FALSE(Client.Connected());
    }
}

TEST_F(Pop3Session, SilentServerIsEndedByCloseSocketFromAnotherThread) {
    Server.AddConnection({S::Hang()});
    Watchdog watchdog(Client, 200ms);
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10004);
        EXPECT_STREQ(e.what(), "Socket Error #10004\r\nInterrupted system call.");
    }
    EXPECT_TRUE(watchdog.Fired());
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Pop3Session, EndlessGreetingFailsAtTheLineCap) {
    Server.AddConnection({S::SendEndless()});
    EXPECT_THROW(Client.Connect(), EWinshoeLineTooLong);
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Pop3Session, EndlessHeaderBlockFailsAtTheBlockCap) {
    Script script = {S::Expect("TOP 1 0"), S::Send("+OK\r\n")};
    const std::string line = "X-Filler: " + std::string(1000, 'f') + "\r\n";
    std::string lines;
    for (int i = 0; i < 100; ++i) {
        lines += line;
    }
    for (int i = 0; i < 30; ++i) {
        script.push_back(S::Send(lines));
    }
    script.push_back(S::Hang());
    LogIn(script);
    Client.SetMaxBlockLength(1024 * 1024);
    Watchdog watchdog(Client, 5s);
    EXPECT_THROW(Client.RetrieveHeader(1, Message), EWinshoeLineTooLong);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Pop3Session, LineBreakInNameOrPasswordIsRefusedBeforeConnecting) {
    Client.SetPassword("secret\r\nDELE 1");
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeUnsafeCommand& e) {
        EXPECT_STREQ(e.what(),
                     "The password contains a line break or NUL character; nothing was sent.");
    }
    Client.SetPassword("secret");
    Client.SetUserID(std::string("bob\0", 4));
    EXPECT_THROW(Client.Connect(), EWinshoeUnsafeCommand);
    EXPECT_TRUE(Statuses.empty());
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Pop3Session, HeaderOfTooManyLinesFailsAtTheCap) {
    LogIn({S::Expect("TOP 1 0"), S::Send("+OK\r\n"), S::SendRepeated("X-A: b\r\n")});
    Client.SetMaxReplyLines(1000);
    Watchdog watchdog(Client, 5s);
    EXPECT_THROW(Client.RetrieveHeader(1, Message), EWinshoeLineTooLong);
    EXPECT_FALSE(watchdog.Fired());
    EXPECT_FALSE(Client.Connected());
}

// The in-memory stream in place of the socket, as the fuzz targets use it: every byte boundary.
TEST(Pop3FromMemory, WholeSessionFromAStream) {
    const std::string server = "+OK ready\r\n+OK\r\n+OK Logged in.\r\n+OK 2 320\r\n"
                               "+OK\r\nSubject: From memory\r\n\r\n.\r\n+OK bye\r\n";
    for (const std::size_t chunk : {1, 7, 4096}) {
        std::shared_ptr<TMemoryStream> stream;
        TWinshoePOP3 client;
        client.SetUserID("bob");
        client.SetPassword("secret");
        client.SetStreamFactory([&](const std::string&, int) {
            return stream = std::make_shared<TMemoryStream>(server, chunk);
        });
        TWinshoeMessage message;
        client.Connect();
        EXPECT_EQ(client.CheckMessages(), 2);
        EXPECT_TRUE(client.RetrieveHeader(1, message));
        EXPECT_EQ(message.Subject(), "From memory");
        client.Quit();
        EXPECT_EQ(stream->Sent(), "User bob\r\nPass secret\r\nSTAT\r\nTOP 1 0\r\nQuit\r\n");
        // The server's end is the end of the stream.
        EXPECT_THROW(client.ReadLine(), EWinshoeConnClosedGraceful);
        EXPECT_FALSE(client.Connected());
    }
}
