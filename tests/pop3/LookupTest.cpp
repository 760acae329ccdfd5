// Name lookup and the choice of address: a resolver that never answers cannot hold up Stop, a
// name with only an IPv6 address works, and several addresses are tried in turn.
//
// Run as root where unshare works, the whole test process moves into a network and mount
// namespace of its own before any thread exists: only a loopback interface, a DNS server on
// 127.0.0.1 that takes queries and never answers, and a hosts file with an IPv6-only name. Then
// the system's own resolver is what hangs. Elsewhere those cases are skipped and only the
// injected resolver that blocks is used.

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <future>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "FakeServer.h"
#include "PrivateNetwork.h"
#include "Watchdog.h"
#include "pop3/HostLookup.h"
#include "pop3/WinshoeClient.h"
#include "pop3/WinshoeExceptions.h"

using namespace std::chrono_literals;

namespace {

bool PrivateNetwork = false;

TResolvedAddress Address(const std::string& text) {
    TResolvedAddress resolved;
    auto* ipv4 = reinterpret_cast<sockaddr_in*>(&resolved.Address);
    ipv4->sin_family = AF_INET;
    ::inet_pton(AF_INET, text.c_str(), &ipv4->sin_addr);
    resolved.Length = sizeof(sockaddr_in);
    return resolved;
}

// A listener at address:port whose one-place queue is taken: further SYNs are dropped, so a
// connect there waits.
class FullListener {
public:
    FullListener(const std::string& ip, int port) {
        sockaddr_in address = reinterpret_cast<const sockaddr_in&>(Address(ip).Address);
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        FFiller = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        Ready = ::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                ::listen(FListener, 0) == 0 &&
                ::connect(FFiller, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~FullListener() {
        ::close(FFiller);
        ::close(FListener);
    }
    bool Ready = false;

private:
    int FListener = -1;
    int FFiller = -1;
};

} // namespace

TEST(Lookup, StopEndsALookupThatNeverAnswers) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::vector<std::pair<std::string, TResolver>> resolvers = {
        {"injected resolver that blocks",
         [released](const std::string&, std::vector<TResolvedAddress>&) {
             released.wait();
             return WSAHOST_NOT_FOUND;
         }}};
    if (PrivateNetwork) {
        resolvers.push_back({"system resolver, DNS server that never answers", nullptr});
    }
    for (const auto& [name, resolver] : resolvers) {
        SCOPED_TRACE(name);
        const int before = THostLookup::Outstanding();
        TWinshoeClient client;
        client.SetHost("mail.never-answers.test");
        client.SetPort(110);
        client.SetResolver(resolver);
        const auto start = std::chrono::steady_clock::now();
        Watchdog watchdog(client, 300ms);
        try {
            client.Connect();
            ADD_FAILURE() << "connected";
        } catch (const EWinshoeSocketError& e) {
            EXPECT_EQ(e.ErrorCode(), 10004);
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
        EXPECT_TRUE(watchdog.Fired());
        EXPECT_FALSE(client.Connected());
        // The lookup goes on, abandoned; nobody waits for it.
        EXPECT_GT(THostLookup::Outstanding(), before);
    }
    release.set_value();
}

TEST(Lookup, NameWithOnlyAnIPv6Address) {
    if (!PrivateNetwork) {
        GTEST_SKIP() << "needs root and unshare for a hosts file of its own";
    }
    std::unique_ptr<FakeServer> server;
    try {
        server = std::make_unique<FakeServer>("::1");
    } catch (const std::exception&) {
        GTEST_SKIP() << "no IPv6 loopback";
    }
    server->AddConnection({FakeServer::Send("+OK over IPv6\r\n")});
    TWinshoeClient client;
    client.SetHost("only6.test");
    client.SetPort(server->Port());
    Watchdog watchdog(client, 10s);
    client.Connect();
    EXPECT_EQ(client.PeerAddress(), "::1");
    EXPECT_EQ(client.ReadLine(), "+OK over IPv6");
}

TEST(Lookup, EachAddressIsTriedInTurn) {
    FakeServer server;
    server.AddConnection({FakeServer::Send("+OK third address\r\n")});
    FullListener silent("127.0.0.7", server.Port());
    ASSERT_TRUE(silent.Ready);
    TWinshoeClient client;
    client.SetHost("mail.example.test");
    client.SetPort(server.Port());
    client.SetAddressConnectLimit(300);
    // Refused at once, then no answer within the limit, then the server.
    client.SetResolver([](const std::string&, std::vector<TResolvedAddress>& found) {
        found = {Address("127.0.0.8"), Address("127.0.0.7"), Address("127.0.0.1")};
        return 0;
    });
    Watchdog watchdog(client, 10s);
    client.Connect();
    EXPECT_EQ(client.PeerAddress(), "127.0.0.1");
    EXPECT_EQ(client.ReadLine(), "+OK third address");
    client.Disconnect();

    // When every address fails, the last failure is the one reported.
    client.SetResolver([](const std::string&, std::vector<TResolvedAddress>& found) {
        found = {Address("127.0.0.7"), Address("127.0.0.8")};
        return 0;
    });
    try {
        client.Connect();
        FAIL();
    } catch (const EWinshoeSocketError& e) {
        EXPECT_EQ(e.ErrorCode(), 10061);
    }
    EXPECT_FALSE(watchdog.Fired());
}

int main(int argc, char** argv) {
    PrivateNetwork = EnterPrivateNetwork("nameserver 127.0.0.1\noptions timeout:30 attempts:1\n",
                                         "127.0.0.1 localhost\n::1 only6.test\n");
    PrivateNetwork = PrivateNetwork && StartSilentDnsServer();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
