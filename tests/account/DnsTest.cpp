// SRV records, and the finder the windows use. As root the test process moves into a network of
// its own before any thread exists (see PrivateNetwork.h), where a DNS server of the test's own
// answers the system's resolver: records for IMAPS only, POP3S only, both, "." targets, none,
// and a domain of its own on Gmail's servers. Elsewhere those cases are skipped; the rest use an
// injected resolver.

#include <chrono>
#include <future>

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "DnsServer.h"
#include "PrivateNetwork.h"
#include "QtGtest.h"
#include "account/SettingsFinder.h"

using namespace std::chrono_literals;

namespace {

bool PrivateNetwork = false;
std::unique_ptr<DnsServer> Dns;

void AddRecords(DnsServer& dns) {
    using Srv = DnsServer::Srv;
    dns.AddSrv("_imaps._tcp.imaps-only.test", Srv{0, 0, 993, "mail.imaps-only.test"});
    dns.AddSrv("_pop3s._tcp.pop3s-only.test", Srv{0, 0, 995, "pop.pop3s-only.test"});
    // Preference goes before priority: IMAP although POP3's record comes first.
    dns.AddSrv("_imaps._tcp.both.test", Srv{10, 0, 993, "imap.both.test"});
    dns.AddSrv("_pop3s._tcp.both.test", Srv{0, 0, 995, "pop.both.test"});
    dns.AddSrv("_imaps._tcp.dot.test", Srv{0, 0, 0, "."});
    dns.AddSrv("_imap._tcp.dot.test", Srv{0, 0, 0, "."});
    dns.AddSrv("_pop3._tcp.dot.test", Srv{0, 0, 110, "pop.dot.test"});
    dns.AddSrv("_imaps._tcp.family.test", Srv{5, 0, 993, "imap.gmail.com"});
    dns.AddAddress("mail.both.test", "127.0.0.1");
}

TSettingsSearch::TOptions Options() {
    TSettingsSearch::TOptions options;
    // No web server anywhere: the configuration file step finds nothing at once.
    options.HostResolver = [](const std::string&, std::vector<TResolvedAddress>&) {
        return WSAHOST_NOT_FOUND;
    };
    options.DnsLimit = 20s;
    return options;
}

} // namespace

TEST(Srv, RecordsThroughTheSystemResolver) {
    if (!PrivateNetwork) {
        GTEST_SKIP() << "needs root and unshare for a DNS server of its own";
    }
    struct Case {
        const char* Address;
        const char* Host; // empty: nothing found
        int Port;
        TServerType Type;
        TWinshoeSecurity Security;
        const char* Provider;
    };
    const Case cases[] = {
        {"ada@imaps-only.test", "mail.imaps-only.test", 993, TServerType::IMAP,
         TWinshoeSecurity::SSLTLS, ""},
        {"ada@pop3s-only.test", "pop.pop3s-only.test", 995, TServerType::POP3,
         TWinshoeSecurity::SSLTLS, ""},
        {"ada@both.test", "imap.both.test", 993, TServerType::IMAP, TWinshoeSecurity::SSLTLS, ""},
        {"ada@dot.test", "pop.dot.test", 110, TServerType::POP3, TWinshoeSecurity::STARTTLS, ""},
        {"ada@family.test", "imap.gmail.com", 993, TServerType::IMAP, TWinshoeSecurity::SSLTLS,
         "Gmail"},
        {"ada@none.test", "", 0, TServerType::IMAP, TWinshoeSecurity::SSLTLS, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Address);
        const TFoundSettings found = TSettingsSearch(TProviderTable::Installed(), Options())
                                         .Run(QString::fromLatin1(c.Address));
        ASSERT_EQ(found.Found(), *c.Host != '\0');
        if (found.Found()) {
            EXPECT_EQ(found.Source, TSettingsSource::DnsRecords);
            EXPECT_EQ(found.Server.Host, c.Host);
            EXPECT_EQ(found.Server.Port, c.Port);
            EXPECT_EQ(found.Server.Type, c.Type);
            EXPECT_EQ(found.Server.Security, c.Security);
            EXPECT_EQ(found.Server.Login, c.Address);
            EXPECT_EQ(found.ProviderName, c.Provider);
        }
    }
    std::vector<TServiceRecord> records;
    EXPECT_EQ(ResolveServiceRecords("_imaps._tcp.dot.test", records), 0);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Target, ".");
    EXPECT_EQ(ResolveServiceRecords("_imaps._tcp.none.test", records), WSAHOST_NOT_FOUND);
    EXPECT_EQ(ResolveServiceRecords("mail.both.test", records), WSANO_DATA);
}

TEST(Srv, ADnsServerThatNeverAnswersIsLeftBehind) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    TSettingsSearch::TOptions options = Options();
    options.ServiceResolver = [released](const std::string&, std::vector<TServiceRecord>&) {
        released.wait();
        return WSATRY_AGAIN;
    };
    options.DnsLimit = 300ms;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(TSettingsSearch(nullptr, options).Run("ada@example.test").Found());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);

    options.DnsLimit = 10min;
    TSettingsSearch search(nullptr, options);
    auto result = std::async(std::launch::async, [&] { return search.Run("ada@example.test"); });
    EXPECT_EQ(result.wait_for(300ms), std::future_status::timeout);
    start = std::chrono::steady_clock::now();
    search.Cancel();
    EXPECT_FALSE(result.get().Found());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 10s);
    release.set_value();
}

TEST(Finder, ReportsTheLatestSearchOnItsOwnThread) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    TSettingsSearch::TOptions options = Options();
    // "slow.test" answers only when released; "example.test" offers IMAPS.
    options.ServiceResolver = [released](const std::string& name,
                                         std::vector<TServiceRecord>& found) {
        if (name.ends_with("slow.test")) {
            released.wait();
        }
        if (name == "_imaps._tcp.example.test") {
            found = {{0, 0, 993, "imap.example.test"}};
            return 0;
        }
        return WSANO_DATA;
    };
    TSettingsFinder finder(TProviderTable::Installed(), options);
    QSignalSpy finished(&finder, &TSettingsFinder::Finished);

    EXPECT_FALSE(finder.Find("not an address"));
    EXPECT_TRUE(finder.Find("ada@slow.test"));
    EXPECT_TRUE(finder.Searching());
    // A newer search replaces the one under way: only its answer arrives.
    EXPECT_TRUE(finder.Find("ada@example.test"));
    ASSERT_TRUE(finished.wait(30000));
    auto found = finished.takeFirst().at(0).value<TFoundSettings>();
    EXPECT_EQ(found.Server.Host, "imap.example.test");
    EXPECT_FALSE(finder.Searching());

    EXPECT_TRUE(finder.Find("ada@gmail.com"));
    ASSERT_TRUE(finished.wait(30000));
    found = finished.takeFirst().at(0).value<TFoundSettings>();
    EXPECT_EQ(found.Source, TSettingsSource::ProviderTable);
    EXPECT_EQ(found.Note, TProviderNote::AppPassword);

    // Cancelled: nothing arrives, even once the answer is there.
    EXPECT_TRUE(finder.Find("ada@slow.test"));
    finder.Cancel();
    release.set_value();
    EXPECT_FALSE(finished.wait(500));
    EXPECT_EQ(finished.count(), 0);
}

int main(int argc, char** argv) {
    PrivateNetwork = EnterPrivateNetwork("nameserver 127.0.0.1\noptions timeout:5 attempts:2\n",
                                         "127.0.0.1 localhost\n");
    if (PrivateNetwork) {
        try {
            Dns = std::make_unique<DnsServer>();
            AddRecords(*Dns);
        } catch (const std::exception&) {
            PrivateNetwork = false;
        }
    }
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    Dns.reset();
    return result;
}
