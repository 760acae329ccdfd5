// SRV records, and the finder the windows use. As root the test process moves into a network of
// its own before any thread exists (see PrivateNetwork.h), where a DNS server of the test's own
// (dnsmasq) answers the system's resolver: records for IMAPS only, POP3S only, both, "."
// targets, several of one service, none, and a domain of its own on Gmail's servers. Elsewhere
// those cases are skipped; the rest use an injected resolver.

#include <chrono>
#include <future>

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "Described.h"
#include "DnsServer.h"
#include "PrivateNetwork.h"
#include "QtGtest.h"
#include "account/SettingsFinder.h"

using namespace std::chrono_literals;

namespace {

bool PrivateNetwork = false;
std::unique_ptr<DnsServer> Dns;

// Preference goes before priority (both.test offers IMAP although POP3's record has the lower
// priority); within a service the lowest priority wins, then the highest weight.
const std::vector<DnsServer::Srv> Records = {
    {"_imaps._tcp.imaps-only.test", "mail.imaps-only.test", 993},
    {"_pop3s._tcp.pop3s-only.test", "pop.pop3s-only.test", 995},
    {"_imaps._tcp.both.test", "imap.both.test", 993, 10},
    {"_pop3s._tcp.both.test", "pop.both.test", 995, 0},
    {"_imaps._tcp.dot.test", ""},
    {"_imap._tcp.dot.test", ""},
    {"_pop3._tcp.dot.test", "pop.dot.test", 110},
    {"_imaps._tcp.order.test", "late.order.test", 993, 20, 90},
    {"_imaps._tcp.order.test", "light.order.test", 993, 10, 1},
    {"_imaps._tcp.order.test", "heavy.order.test", 994, 10, 5},
    {"_imaps._tcp.family.test", "imap.gmail.com", 993, 5},
};

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
        GTEST_SKIP() << "needs root, unshare and dnsmasq for a DNS server of its own";
    }
    const std::pair<const char*, const char*> cases[] = {
        {"ada@imaps-only.test", "IMAP mail.imaps-only.test 993 SSL/TLS ada@imaps-only.test"},
        {"ada@pop3s-only.test", "POP3 pop.pop3s-only.test 995 SSL/TLS ada@pop3s-only.test"},
        {"ada@both.test", "IMAP imap.both.test 993 SSL/TLS ada@both.test"},
        {"ada@dot.test", "POP3 pop.dot.test 110 STARTTLS ada@dot.test"},
        {"ada@order.test", "IMAP heavy.order.test 994 SSL/TLS ada@order.test"},
        {"ada@family.test", "IMAP imap.gmail.com 993 SSL/TLS ada@family.test Gmail app-password"},
        {"ada@none.test", "nothing"},
    };
    for (const auto& [address, expected] : cases) {
        const TFoundSettings found =
            TSettingsSearch(TProviderTable::Installed(), Options()).Run(address);
        EXPECT_EQ(Described(found), expected) << address;
        EXPECT_EQ(found.Source,
                  found.Found() ? TSettingsSource::DnsRecords : TSettingsSource::Nothing);
    }
    std::vector<TServiceRecord> records;
    EXPECT_EQ(ResolveServiceRecords("_imaps._tcp.dot.test", records), 0);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].Target, ".");
    EXPECT_EQ(ResolveServiceRecords("_imaps._tcp.none.test", records), WSAHOST_NOT_FOUND);
    EXPECT_EQ(ResolveServiceRecords("mail.both.test", records), WSANO_DATA);
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
    EXPECT_EQ(Described(finished.takeFirst().at(0).value<TFoundSettings>()),
              "IMAP imap.example.test 993 SSL/TLS ada@example.test");
    EXPECT_FALSE(finder.Searching());

    EXPECT_TRUE(finder.Find("ada@gmail.com"));
    ASSERT_TRUE(finished.wait(30000));
    EXPECT_EQ(finished.takeFirst().at(0).value<TFoundSettings>().Source,
              TSettingsSource::ProviderTable);

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
    if (PrivateNetwork && DnsServer::Available()) {
        try {
            Dns = std::make_unique<DnsServer>(
                Records, std::vector<DnsServer::Address>{{"mail.both.test", "127.0.0.1"}});
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
        }
    }
    PrivateNetwork = Dns != nullptr;
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    Dns.reset();
    return result;
}
