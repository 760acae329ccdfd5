// The TCP client against a scripted server on loopback: connecting, line reads, replies,
// commands, closing, and closing from another thread.

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "Watchdog.h"
#include "pop3/WinshoeClient.h"
#include "pop3/WinshoeExceptions.h"

using namespace std::chrono_literals;
using Script = FakeServer::Script;

namespace {

class Transport : public ::testing::Test {
protected:
    void SetUp() override {
        Client.SetHost("127.0.0.1");
        Client.SetPort(Server.Port());
        Client.SetOnStatus([this](const std::string& text) { Statuses.push_back(text); });
    }

    void ConnectTo(Script script) {
        Server.AddConnection(std::move(script));
        Client.Connect();
        Statuses.clear();
    }

    // Declared first: the client reports "Disconnecting" to it while it is destroyed.
    std::vector<std::string> Statuses;
    FakeServer Server;
    TWinshoeClient Client;
};

// A loopback port on which nothing listens, kept bound so nobody else takes it meanwhile.
class ClosedPort {
public:
    ClosedPort() : FSocket(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        ::bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::getsockname(FSocket, reinterpret_cast<sockaddr*>(&address), &length);
        FPort = ntohs(address.sin_port);
    }
    ~ClosedPort() { ::close(FSocket); }
    int Port() const { return FPort; }

private:
    int FSocket;
    int FPort = 0;
};

} // namespace

TEST_F(Transport, RefusedConnectionReportsTextAndDisconnects) {
    ClosedPort closed;
    Client.SetPort(closed.Port());
    try {
        Client.Connect();
        FAIL() << "connected to a closed port";
    } catch (const EWinshoeSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10061);
        EXPECT_STREQ(e.what(), "Socket Error #10061\r\nConnection refused.");
    }
    EXPECT_FALSE(Client.Connected());
    EXPECT_EQ(Statuses, (std::vector<std::string>{"Connecting to 127.0.0.1", "Disconnecting",
                                                  "Disconnected"}));
}

TEST_F(Transport, HostFormsWithoutLookup) {
    Server.AddConnection({FakeServer::Send("+OK one\r\n")});
    Server.AddConnection({FakeServer::Send("+OK two\r\n")});
    Server.AddConnection({FakeServer::Send("+OK three\r\n")});

    Client.SetHost("LoCaLhOsT");
    Client.Connect();
    EXPECT_EQ(Client.PeerAddress(), "127.0.0.1");
    EXPECT_EQ(Client.ReadLine(), "+OK one");
    Client.Disconnect();
    EXPECT_EQ(Client.PeerAddress(), "");

    // inet_addr's short dotted form: a lookup would not keep the text as given.
    Client.SetHost("127.1");
    Client.Connect();
    EXPECT_EQ(Client.PeerAddress(), "127.1");
    EXPECT_EQ(Client.ReadLine(), "+OK two");
    Client.Disconnect();

    // Only the low 16 bits of the port count.
    Client.SetHost("127.0.0.1");
    Client.SetPort(Server.Port() + 65536);
    Client.Connect();
    EXPECT_EQ(Client.ReadLine(), "+OK three");
}

TEST_F(Transport, UnknownHostFailsWithHostNotFound) {
    Client.SetHost("no-such-host.invalid");
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 11001);
        EXPECT_STREQ(e.what(), "Socket Error #11001\r\nHost not found.");
    }
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Transport, ConnectWhileConnectedLeavesConnectionUsable) {
    ConnectTo({FakeServer::Expect("ping"), FakeServer::Send("+OK pong\r\n")});
    EXPECT_THROW(
        {
            try {
                Client.Connect();
            } catch (const EWinshoeAlreadyConnected& e) {
                EXPECT_STREQ(e.what(), "Already connected.");
                throw;
            }
        },
        EWinshoeAlreadyConnected);
    EXPECT_TRUE(Client.Connected());
    EXPECT_EQ(Client.SendCommand("ping", 1), 1);
    EXPECT_EQ(Client.ReplyLine(), "+OK pong");
}

TEST_F(Transport, LinesSplitJoinedAndHeldAcrossReceives) {
    ConnectTo({FakeServer::Send("+OK spl"), FakeServer::Pause(30), FakeServer::Send("it li"),
               FakeServer::Pause(30), FakeServer::Send("ne\r"), FakeServer::Pause(30),
               FakeServer::Send("\nfirst\r\nsecond\r\n\r\nlast\r\n"), FakeServer::Pause(30),
               FakeServer::Send("bare\nLF\r\n"), FakeServer::Close()});
    EXPECT_EQ(Client.ReadLine(), "+OK split line");
    std::string first = Client.ReadLine();
    EXPECT_EQ(first, "first");
    // The rest of that receive is held, and served without receiving again.
    EXPECT_EQ(Client.HeldCount(), static_cast<int>(std::string("second\r\n\r\nlast\r\n").size()));
    EXPECT_EQ(Client.ReadLine(), "second");
    EXPECT_EQ(Client.ReadLine(), "");
    EXPECT_EQ(Client.ReadLine(), "last");
    EXPECT_EQ(Client.ReadLine(), "bare\nLF");
}

TEST_F(Transport, ReplyTrimsSkipsBlankLinesAndReadsCodes) {
    ConnectTo({FakeServer::Send("\r\n   \r\n\t +OK  ready \t\r\n"),
               FakeServer::Send("-ERR no such thing\r\n+ok small\r\n250 fine\r\nabc\r\n42\r\n"),
               FakeServer::Send("250-first\r\n\r\n250-second\r\n250 last\r\n+OK single\r\n")});
    EXPECT_EQ(Client.ReadReply(), 1);
    EXPECT_EQ(Client.ReplyLine(), "+OK  ready");
    EXPECT_EQ(Client.ReadReply(), 0);
    EXPECT_EQ(Client.ReplyLine(), "-ERR no such thing");
    EXPECT_EQ(Client.ReadReply(), 0);
    EXPECT_EQ(Client.ReadReply(), 250);
    EXPECT_EQ(Client.ReadReply(), 0);
    EXPECT_EQ(Client.ReadReply(), 42);
    EXPECT_EQ(Client.ReadReply(), 250);
    EXPECT_EQ(Client.ReplyLine(), "250 last");
    EXPECT_EQ(Client.ReplyLines(),
              (std::vector<std::string>{"250-first", "250-second", "250 last"}));
    EXPECT_EQ(Client.ReadReply(), 1);
    EXPECT_TRUE(Client.ReplyLines().empty());
}

TEST_F(Transport, SendCommandChecksCodeAndReportsStatus) {
    ConnectTo({FakeServer::Expect("STAT"), FakeServer::Send("-ERR not now\r\n"),
               FakeServer::Expect("NOOP"), FakeServer::Send("+OK fine\r\n"),
               FakeServer::Expect("NOOP"), FakeServer::Send("+OK again\r\n"),
               FakeServer::Send("+OK unasked\r\n")});
    try {
        Client.SendCommand("STAT", 1, "never shown", 0);
        FAIL();
    } catch (const EWinshoeResponseError& e) {
        EXPECT_STREQ(e.what(), "-ERR not now");
    }
    EXPECT_TRUE(Statuses.empty());
    EXPECT_TRUE(Client.Connected());

    EXPECT_EQ(Client.SendCommand("NOOP", 1, "*", 1), 1);
    EXPECT_EQ(Client.SendCommand("NOOP", -1, "Checked", 2), 1);
    // The command made of the character 0 only reads a reply.
    EXPECT_EQ(Client.SendCommand(std::string(1, '\0'), 1, "", 0), 1);
    EXPECT_EQ(Client.ReplyLine(), "+OK unasked");
    EXPECT_EQ(Statuses, (std::vector<std::string>{"  +OK fine", "    Checked"}));
    Client.Disconnect();
    ASSERT_TRUE(Server.WaitForConnections(1));
    EXPECT_EQ(Server.Received(), (std::vector<std::string>{"STAT", "NOOP", "NOOP"}));
    EXPECT_TRUE(Server.Mismatches().empty());
}

TEST_F(Transport, WritingWithoutSocket) {
    EXPECT_NO_THROW(Client.WriteText(""));
    try {
        Client.WriteLine("Quit");
        FAIL();
    } catch (const EWinshoeClosedSocket& e) {
        EXPECT_STREQ(e.what(), "Socket is closed, cannot write");
    }
}

TEST_F(Transport, ServerClosingWhileReadingDisconnects) {
    ConnectTo({FakeServer::Send("partial"), FakeServer::Close()});
    try {
        Client.ReadLine();
        FAIL();
    } catch (const EWinshoeConnClosedGraceful& e) {
        EXPECT_STREQ(e.what(), "Connection Closed Gracefully.");
    }
    EXPECT_FALSE(Client.Connected());
    EXPECT_TRUE(Client.PeerClosed());
    EXPECT_EQ(Statuses, (std::vector<std::string>{"Disconnecting", "Disconnected"}));
}

TEST_F(Transport, ServerResetIsASocketError) {
    ConnectTo({FakeServer::Expect("hello"), FakeServer::Reset()});
    Client.WriteLine("hello");
    try {
        Client.ReadLine();
        FAIL();
    } catch (const EWinshoeSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10054);
    }
}

TEST_F(Transport, NewConnectionStartsWithEmptyBuffer) {
    ConnectTo({FakeServer::Send("+OK first\r\nhalf a li"), FakeServer::Hang()});
    EXPECT_EQ(Client.ReadLine(), "+OK first");
    EXPECT_GT(Client.HeldCount(), 0);
    Client.CloseSocket();
    Server.AddConnection({FakeServer::Send("+OK second\r\n")});
    Client.Connect();
    EXPECT_EQ(Client.ReadLine(), "+OK second");
}

TEST_F(Transport, DisconnectOnClosedClientOnlyReports) {
    Client.Disconnect();
    Client.Disconnect();
    EXPECT_EQ(Statuses, (std::vector<std::string>{"Disconnecting", "Disconnected", "Disconnecting",
                                                  "Disconnected"}));
}

TEST_F(Transport, BufferGrowsForLongLineAndShrinksAfterwards) {
    const std::string longLine(100000, 'y');
    Script script = {FakeServer::Send(longLine + "\r\n")};
    for (int i = 0; i < 4; ++i) {
        script.push_back(FakeServer::Pause(20));
        script.push_back(FakeServer::Send("short\r\n"));
    }
    ConnectTo(script);
    EXPECT_EQ(Client.BufferCapacity(), 8192);
    EXPECT_EQ(Client.ReadLine(), longLine);
    const int grown = Client.BufferCapacity();
    EXPECT_GE(grown, 100002);
    EXPECT_LE(grown, 100002 * 3 / 2 + 2 * 8192);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(Client.ReadLine(), "short");
    }
    EXPECT_LT(Client.BufferCapacity(), grown);
    EXPECT_EQ((grown - Client.BufferCapacity()) % 8192, 0);
}

TEST_F(Transport, LineAtTheCapIsReadWhole) {
    const std::string line(TWinshoeSocket::DefaultMaxLineLength, 'z');
    ConnectTo({FakeServer::Send(line + "\r\n+OK after\r\n")});
    EXPECT_EQ(Client.ReadLine(), line);
    EXPECT_EQ(Client.ReadLine(), "+OK after");
}

TEST_F(Transport, EndlessLineStopsAtTheCap) {
    ConnectTo({FakeServer::SendEndless()});
    try {
        Client.ReadLine();
        FAIL();
    } catch (const EWinshoeLineTooLong& e) {
        EXPECT_STREQ(e.what(),
                     "The server sent a line longer than 1048576 bytes; the connection was "
                     "closed.");
    }
    EXPECT_FALSE(Client.Connected());
    EXPECT_EQ(Client.BufferCapacity(), 8192);
    EXPECT_EQ(Statuses, (std::vector<std::string>{"Disconnecting", "Disconnected"}));
}

TEST_F(Transport, FailingStatusCallbackIsAnnotatedAndKeepsItsClass) {
    Client.SetOnStatus([](const std::string&) { throw EWinshoeResponseError("boom"); });
    try {
        Client.Connect();
        FAIL();
    } catch (const EWinshoeResponseError& e) {
        EXPECT_STREQ(e.what(), "boom occurred in user's OnStatus Event.");
    }
    Client.SetOnStatus([](const std::string&) { throw std::logic_error("odd"); });
    EXPECT_THROW(Client.ReportStatus("x"), std::runtime_error);

    // Disconnect swallows it and still closes.
    Client.SetOnStatus(nullptr);
    ConnectTo({FakeServer::Hang()});
    Client.SetOnStatus([](const std::string&) { throw EWinshoeResponseError("boom"); });
    EXPECT_NO_THROW(Client.Disconnect());
    EXPECT_FALSE(Client.Connected());
}

// Closing from another thread: the blocked call must end at once with a socket error, and
// Connected must be false for both threads as soon as CloseSocket returns.

TEST_F(Transport, CloseSocketWakesBlockedReceive) {
    ConnectTo({FakeServer::Send("+OK partial"), FakeServer::Hang()});
    auto reader = std::async(std::launch::async, [this] {
        try {
            Client.ReadLine();
            return 0;
        } catch (const EWinshoeSocketError& e) {
            return e.ErrorCode();
        }
    });
    EXPECT_EQ(reader.wait_for(100ms), std::future_status::timeout);
    Client.CloseSocket();
    EXPECT_FALSE(Client.Connected());
    ASSERT_EQ(reader.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(reader.get(), 10004);
    EXPECT_FALSE(Client.Connected());
    // The next receive or write finds no socket.
    EXPECT_THROW(Client.ReadLine(), EWinshoeSocketError);
    EXPECT_THROW(Client.WriteLine("Quit"), EWinshoeClosedSocket);
}

TEST_F(Transport, CloseSocketWakesBlockedSend) {
    ConnectTo({FakeServer::Hang()});
    // Far more than the socket buffers on both sides hold while nobody reads.
    const std::string flood(64 * 1024 * 1024, 'f');
    std::atomic<bool> started = false;
    auto writer = std::async(std::launch::async, [&] {
        started = true;
        try {
            Client.WriteText(flood);
            return std::string("sent everything");
        } catch (const EWinshoeException& e) {
            return std::string(typeid(e).name());
        }
    });
    while (!started) {
        std::this_thread::yield();
    }
    EXPECT_EQ(writer.wait_for(100ms), std::future_status::timeout);
    Client.CloseSocket();
    EXPECT_FALSE(Client.Connected());
    ASSERT_EQ(writer.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(writer.get(), typeid(EWinshoeSocketError).name());
}

TEST_F(Transport, CloseSocketWakesBlockedConnect) {
    // A listener whose one-place queue is taken: further SYNs are dropped and connect waits.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_EQ(::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    Client.SetPort(ntohs(address.sin_port));
    auto connector = std::async(std::launch::async, [this] {
        try {
            Client.Connect();
            return 0;
        } catch (const EWinshoeSocketError& e) {
            return e.ErrorCode();
        }
    });
    EXPECT_EQ(connector.wait_for(200ms), std::future_status::timeout);
    EXPECT_TRUE(Client.Connected());
    Client.CloseSocket();
    EXPECT_FALSE(Client.Connected());
    ASSERT_EQ(connector.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(connector.get(), 10004);
    EXPECT_FALSE(Client.Connected());
    ::close(filler);
    ::close(listener);
}

TEST_F(Transport, ConnectedIsSafeToPollDuringASession) {
    Script script;
    for (int i = 0; i < 200; ++i) {
        script.push_back(FakeServer::Expect("NOOP"));
        script.push_back(FakeServer::Send("+OK\r\n"));
    }
    ConnectTo(script);
    std::atomic<bool> done = false;
    std::thread poller([&] {
        while (!done) {
            (void)Client.Connected();
        }
    });
    for (int i = 0; i < 200; ++i) {
        Client.SendCommand("NOOP", 1);
    }
    Client.Disconnect();
    done = true;
    poller.join();
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Transport, IPv6Literals) {
    std::unique_ptr<FakeServer> server;
    try {
        server = std::make_unique<FakeServer>("::1");
    } catch (const std::exception&) {
        GTEST_SKIP() << "no IPv6 loopback";
    }
    for (const std::string host : {"::1", "[::1]"}) {
        server->AddConnection({FakeServer::Send("+OK six\r\n")});
        Client.SetHost(host);
        Client.SetPort(server->Port());
        Client.Connect();
        EXPECT_EQ(Client.PeerAddress(), host);
        EXPECT_EQ(Client.ReadLine(), "+OK six");
        Client.Disconnect();
    }
}

TEST_F(Transport, CommandWithLineBreakOrNulIsNeverWritten) {
    ConnectTo({FakeServer::Expect("NOOP"), FakeServer::Send("+OK\r\n")});
    for (const std::string& command : {std::string("Pass x\r\nDELE 1"), std::string("a\nb"),
                                       std::string("a\rb"), std::string("a\0b", 3)}) {
        EXPECT_THROW(Client.SendCommand(command, 1), EWinshoeUnsafeCommand);
    }
    EXPECT_EQ(Client.SendCommand("NOOP", 1), 1);
    Client.Disconnect();
    ASSERT_TRUE(Server.WaitForConnections(1));
    EXPECT_EQ(Server.Received(), std::vector<std::string>{"NOOP"});
}

TEST_F(Transport, EndlessRepliesStopAtTheCap) {
    for (const std::string endless : {"+OK-more\r\n", "\r\n"}) {
        ConnectTo({FakeServer::Send("+OK-first\r\n"), FakeServer::SendRepeated(endless)});
        try {
            Client.ReadReply();
            ADD_FAILURE() << "read an endless reply";
        } catch (const EWinshoeLineTooLong& e) {
            EXPECT_STREQ(e.what(), "The server sent a reply of more than 100000 lines or "
                                   "16777216 bytes; the connection was closed.");
        }
        EXPECT_FALSE(Client.Connected());
    }
}
