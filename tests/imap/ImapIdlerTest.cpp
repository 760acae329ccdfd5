// The push connection against a real Dovecot (skipped without it): news within moments of a
// delivery, in plain text and through TLS; IDLE renewed; a server killed and started again, a
// connection that silently stops carrying packets, ReconnectNow, a server without IDLE, and
// Stop in every phase.
//
// As root where unshare works, the process runs in a network namespace of its own (set up in
// main before any thread exists), where a firewall rule can swallow a connection's packets.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "DovecotServer.h"
#include "FakeServer.h"
#include "PrivateNetwork.h"
#include "RecordingProxy.h"
#include "TestCertificates.h"
#include "imap/ImapIdler.h"

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using State = TImapIdler::TState;

namespace {

bool PrivateNetwork = false;

// What an idler reported, for a test to wait on.
class Recorder {
public:
    TImapIdler::TNewsEvent News() {
        return [this] {
            std::lock_guard lock(FLock);
            ++FNews;
            FLastNews = Clock::now();
            FChanged.notify_all();
        };
    }
    TImapIdler::TStateEvent States() {
        return [this](const TImapIdler::TStatus& status) {
            std::lock_guard lock(FLock);
            FStates.push_back(status);
            FChanged.notify_all();
        };
    }
    // Waits until news has come more than `after` times.
    bool WaitForNews(int after = 0) {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, 20s, [&] { return FNews > after; });
    }
    // Waits until the state has been reported at least count times.
    bool WaitForState(State state, int count = 1, std::chrono::seconds limit = 20s) {
        std::unique_lock lock(FLock);
        return FChanged.wait_for(lock, limit, [&] { return CountLocked(state) >= count; });
    }
    int Count(State state) {
        std::lock_guard lock(FLock);
        return CountLocked(state);
    }
    int NewsCount() {
        std::lock_guard lock(FLock);
        return FNews;
    }
    Clock::time_point LastNews() {
        std::lock_guard lock(FLock);
        return FLastNews;
    }
    std::vector<TImapIdler::TStatus> StatesSoFar() {
        std::lock_guard lock(FLock);
        return FStates;
    }

private:
    int CountLocked(State state) const {
        return static_cast<int>(std::count_if(FStates.begin(), FStates.end(),
                                              [state](const auto& s) { return s.State == state; }));
    }

    std::mutex FLock;
    std::condition_variable FChanged;
    int FNews = 0;
    Clock::time_point FLastNews;
    std::vector<TImapIdler::TStatus> FStates;
};

class ImapIdler : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!DovecotServer::Available()) {
            return;
        }
        char folder[] = "/tmp/tvjXXXXXX";
        Folder = ::mkdtemp(folder);
        std::filesystem::permissions(Folder, std::filesystem::perms(0755));
        Certificates = std::make_unique<TestCertificates>(Folder);
        const auto good = Certificates->Issue("good", {"DNS:localhost", "IP:127.0.0.1"});
        ::setenv("SSL_CERT_FILE", Certificates->AuthorityFile().c_str(), 1);
        DovecotServer::Options options;
        options.Imap = true;
        options.Tls = true;
        options.TlsFiles = {good.Certificate, good.Key, {}};
        std::vector<DovecotServer::User> users;
        for (const char* name : {"ann", "ben", "cal", "dan", "eli", "fay"}) {
            users.push_back({name, "pw"});
        }
        Server = std::make_unique<DovecotServer>(users, options);
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
            GTEST_SKIP() << "dovecot is not installed; skipping the push tests";
        }
    }

    static TImapAccount Account(const std::string& user, int port = 0,
                                TWinshoeSecurity security = TWinshoeSecurity::None) {
        TImapAccount account;
        account.Host = "127.0.0.1";
        account.Port = port != 0 ? port : Server->ImapPort();
        account.Security = security;
        account.UserID = user;
        account.Password = "pw";
        return account;
    }

    std::unique_ptr<TImapIdler> Start(const TImapAccount& account,
                                      std::chrono::milliseconds first = 100ms,
                                      std::chrono::milliseconds most = 400ms) {
        auto idler = std::make_unique<TImapIdler>(account, Record.News(), Record.States());
        idler->SetRetryDelays(first, most);
        idler->Start();
        return idler;
    }

    static void Deliver(const std::string& user, const std::string& subject) {
        Server->Deliver(user, "From: a@example.org\nSubject: " + subject + "\n\nbody\n",
                        {"", false, true});
    }

    static inline std::string Folder;
    static inline std::unique_ptr<TestCertificates> Certificates;
    static inline std::unique_ptr<DovecotServer> Server;
    Recorder Record;
};

} // namespace

TEST_F(ImapIdler, DeliveryIsNewsWithinMoments) {
    const std::vector<std::pair<int, TWinshoeSecurity>> modes = {
        {Server->ImapPort(), TWinshoeSecurity::None},
        {Server->ImapSecurePort(), TWinshoeSecurity::SSLTLS}};
    for (const auto& [port, security] : modes) {
        Recorder record;
        TImapIdler idler(Account("ann", port, security), record.News(), record.States());
        idler.Start();
        ASSERT_TRUE(record.WaitForState(State::Idling));
        for (int i = 1; i <= 2; ++i) {
            const int before = record.NewsCount();
            const auto delivered = Clock::now();
            Deliver("ann", "push " + std::to_string(i));
            ASSERT_TRUE(record.WaitForNews(before));
            const auto latency = std::chrono::duration_cast<std::chrono::milliseconds>(
                record.LastNews() - delivered);
            std::printf("delivery to news (%s): %lld ms\n",
                        security == TWinshoeSecurity::None ? "plain" : "TLS",
                        static_cast<long long>(latency.count()));
        }
        idler.Stop();
        EXPECT_EQ(record.Count(State::Connecting), 1);
        EXPECT_EQ(record.StatesSoFar().back().State, State::Stopped);
    }
}

TEST_F(ImapIdler, IdleIsRenewedOnTheSameConnection) {
    ::setenv("TALVORO_IMAP_IDLE_RENEW_SECONDS", "1", 1);
    RecordingProxy proxy("127.0.0.1", Server->ImapPort());
    const auto idler = Start(Account("ben", proxy.Port()));
    ::unsetenv("TALVORO_IMAP_IDLE_RENEW_SECONDS");
    EXPECT_EQ(idler->RenewAfter(), 1s);
    auto renewals = [&proxy] {
        const std::string sent = proxy.ClientBytes();
        int count = 0;
        for (std::size_t at = sent.find("\r\nDONE\r\n"); at != std::string::npos;
             at = sent.find("\r\nDONE\r\n", at + 1)) {
            ++count;
        }
        return count;
    };
    const auto deadline = Clock::now() + 30s;
    while (renewals() < 3 && Clock::now() < deadline) {
        std::this_thread::sleep_for(50ms); // polling the proxy's record
    }
    EXPECT_GE(renewals(), 3);
    Deliver("ben", "after renewals");
    EXPECT_TRUE(Record.WaitForNews());
    EXPECT_EQ(Record.Count(State::Connecting), 1);
}

TEST_F(ImapIdler, ReconnectsByItselfWithGrowingDelays) {
    const auto idler = Start(Account("cal"));
    ASSERT_TRUE(Record.WaitForState(State::Idling));
    Server->Kill();
    ASSERT_TRUE(Record.WaitForState(State::Waiting, 4));
    Deliver("cal", "while the server was down");
    Server->Restart();
    ASSERT_TRUE(Record.WaitForState(State::Idling, 2));
    // Mail that came while there was no connection is news.
    EXPECT_TRUE(Record.WaitForNews());

    std::vector<long long> delays;
    for (const TImapIdler::TStatus& status : Record.StatesSoFar()) {
        if (status.State == State::Waiting) {
            delays.push_back(status.Delay.count());
            EXPECT_FALSE(status.Error.empty());
            EXPECT_GT(status.NextAttempt, std::chrono::system_clock::time_point());
        }
    }
    ASSERT_GE(delays.size(), 4u);
    EXPECT_EQ(std::vector<long long>(delays.begin(), delays.begin() + 4),
              (std::vector<long long>{100, 200, 400, 400}));
}

TEST_F(ImapIdler, ReconnectNowEndsTheWaitAndTheConnection) {
    const auto idler = Start(Account("dan"), 60s, 120s);
    ASSERT_TRUE(Record.WaitForState(State::Idling));
    idler->ReconnectNow();
    ASSERT_TRUE(Record.WaitForState(State::Idling, 2));
    EXPECT_EQ(Record.Count(State::Connecting), 2);

    Server->Kill();
    ASSERT_TRUE(Record.WaitForState(State::Waiting));
    EXPECT_EQ(Record.StatesSoFar().back().Delay, 60s);
    Server->Restart();
    const auto asked = Clock::now();
    idler->ReconnectNow();
    ASSERT_TRUE(Record.WaitForState(State::Idling, 3, 30s));
    EXPECT_LT(Clock::now() - asked, 30s);
}

TEST_F(ImapIdler, StopIsPromptInEveryPhase) {
    auto timed = [](TImapIdler& idler) {
        const auto start = Clock::now();
        idler.Stop();
        return Clock::now() - start;
    };
    // Idling.
    auto idler = Start(Account("eli"));
    ASSERT_TRUE(Record.WaitForState(State::Idling));
    EXPECT_LT(timed(*idler), 2s);
    // Waiting for a greeting that never comes.
    FakeServer silent;
    silent.AddConnection({FakeServer::Hang()});
    idler = Start(Account("eli", silent.Port()));
    ASSERT_TRUE(Record.WaitForState(State::Connecting, 2));
    EXPECT_LT(timed(*idler), 2s);
    // Waiting between attempts.
    idler = Start(Account("eli", silent.Port()), 60s, 60s);
    ASSERT_TRUE(Record.WaitForState(State::Waiting));
    EXPECT_LT(timed(*idler), 2s);
    EXPECT_EQ(Record.StatesSoFar().back().State, State::Stopped);
}

TEST_F(ImapIdler, ServerWithoutIdleEndsIt) {
    DovecotServer::Options options;
    options.Imap = true;
    options.ImapCapability = "IMAP4rev1 LITERAL+ SASL-IR LOGIN-REFERRALS ID ENABLE";
    DovecotServer plain({{"gus", "pw"}}, options);
    const auto idler = Start(Account("gus", plain.ImapPort()));
    ASSERT_TRUE(Record.WaitForState(State::Unsupported));
    EXPECT_EQ(Record.Count(State::Idling), 0);
    EXPECT_EQ(Record.StatesSoFar().back().State, State::Unsupported);
}

TEST_F(ImapIdler, SilentlyDeadConnectionIsNoticedByKeepAlive) {
    if (!PrivateNetwork) {
        GTEST_SKIP() << "needs root and unshare for a firewall of its own";
    }
    ::setenv("TALVORO_IMAP_KEEPALIVE_SECONDS", "4", 1);
    const auto idler = Start(Account("fay"));
    ::unsetenv("TALVORO_IMAP_KEEPALIVE_SECONDS");
    ASSERT_TRUE(Record.WaitForState(State::Idling));
    const std::string port = std::to_string(Server->ImapPort());
    ASSERT_EQ(
        std::system(("nft add table inet talvoro && nft add chain inet talvoro input "
                     "'{ type filter hook input priority 0; }' && nft add rule inet talvoro "
                     "input tcp sport " +
                     port + " drop && nft add rule inet talvoro input tcp dport " + port + " drop")
                        .c_str()),
        0);
    const auto dropped = Clock::now();
    ASSERT_TRUE(Record.WaitForState(State::Waiting, 1, 30s));
    std::printf(
        "silent drop noticed after %lld ms\n",
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - dropped).count()));
    EXPECT_LT(Clock::now() - dropped, 15s);
    ASSERT_EQ(std::system("nft delete table inet talvoro"), 0);
    EXPECT_TRUE(Record.WaitForState(State::Idling, 2, 30s));
}

int main(int argc, char** argv) {
    // Only while the process has a single thread.
    PrivateNetwork = EnterPrivateLoopback();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
