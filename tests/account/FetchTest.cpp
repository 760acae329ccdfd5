// Configuration files over HTTPS, from a web server of the test's own whose certificate a
// throw-away authority signed (trusted through SSL_CERT_FILE, as the TLS tests do): the ways a
// body may come, what is refused (too large, not found, a redirect to plain HTTP, a certificate
// nobody vouches for), and the search that ends with a configuration file, also when it is
// cancelled or its server never answers. A plain listener beside it, which nobody may connect to,
// proves that nothing is ever fetched over plain HTTP.

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <memory>
#include <thread>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>

#include "Described.h"
#include "FakeServer.h"
#include "LoopbackListener.h"
#include "TestCertificates.h"
#include "WebServer.h"
#include "account/HttpsFetch.h"
#include "account/SettingsSearch.h"

using namespace std::chrono_literals;

namespace {

const std::string Xml = R"(<clientConfig version="1.1"><emailProvider id="example.test">
<incomingServer type="imap"><hostname>imap.example.test</hostname><port>993</port>
<socketType>SSL</socketType><username>%EMAILLOCALPART%</username></incomingServer>
</emailProvider></clientConfig>)";
const std::string FirstTarget = "/mail/config-v1.1.xml?emailaddress=ada%40example.test";
const std::string SecondTarget = "/.well-known/autoconfig/mail/config-v1.1.xml";

// Every name is this machine.
int Loopback(const std::string&, std::vector<TResolvedAddress>& found) {
    TResolvedAddress address;
    auto* ipv4 = reinterpret_cast<sockaddr_in*>(&address.Address);
    ipv4->sin_family = AF_INET;
    ipv4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.Length = sizeof(sockaddr_in);
    found = {address};
    return 0;
}

class Fetch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char folder[] = "/tmp/tvaXXXXXX";
        Folder = ::mkdtemp(folder);
        TestCertificates certificates(Folder);
        const auto good = certificates.Issue("good", {"DNS:example.test", "DNS:*.example.test"});
        const auto self = certificates.SelfSigned("self", {"DNS:example.test"});
        ::setenv("SSL_CERT_FILE", certificates.AuthorityFile().c_str(), 1);
        Web = new WebServer(good.Certificate, good.Key);
        Untrusted = new WebServer(self.Certificate, self.Key);
        Plain = new LoopbackListener("plain HTTP", 4);
    }
    static void TearDownTestSuite() {
        delete Web;
        delete Untrusted;
        delete Plain;
        std::filesystem::remove_all(Folder);
    }

    static std::string Get(const std::string& url, int port = Web->Port()) {
        THttpsFetch fetch;
        fetch.SetResolver(Loopback);
        fetch.SetPortOverride(port);
        return fetch.Fetch(url);
    }

    static TSettingsSearch::TOptions Options(int port) {
        TSettingsSearch::TOptions options;
        options.ServiceResolver = [](const std::string&, std::vector<TServiceRecord>&) {
            return WSANO_DATA;
        };
        options.HostResolver = Loopback;
        options.HttpsPort = port;
        return options;
    }

    static inline std::string Folder;
    static inline WebServer* Web = nullptr;
    static inline WebServer* Untrusted = nullptr;
    static inline LoopbackListener* Plain = nullptr;
};

} // namespace

TEST_F(Fetch, BodiesAsTheyMayCome) {
    const std::string head = "HTTP/1.1 200 OK\r\nConnection: close\r\n";
    Web->Serve("/length", WebServer::Ok(Xml));
    Web->Serve(
        "/chunked", head + "Transfer-Encoding: chunked\r\n\r\n10;x=y\r\n" + Xml.substr(0, 16) +
                        "\r\n" +
                        [] {
                            char size[16];
                            std::snprintf(size, sizeof size, "%zx", Xml.size() - 16);
                            return std::string(size);
                        }() +
                        "\r\n" + Xml.substr(16) + "\r\n0\r\nTrailer: t\r\n\r\n");
    Web->Serve("/closed", head + "\r\n" + Xml);
    Web->Serve("/moved", WebServer::Redirect("/length"));
    Web->Serve("/moved-far", WebServer::Redirect("https://other.example.test/chunked"));
    Web->Serve("/continue", "HTTP/1.1 100 Continue\r\n\r\n" + WebServer::Ok(Xml));
    for (const char* target :
         {"/length", "/chunked", "/closed", "/moved", "/moved-far", "/continue"}) {
        SCOPED_TRACE(target);
        EXPECT_EQ(Get("https://autoconfig.example.test" + std::string(target)), Xml);
    }
}

TEST_F(Fetch, WhatIsRefused) {
    const std::string large(THttpsFetch::DefaultMaxBodySize + 1, 'x');
    Web->Serve("/large", WebServer::Ok(large));
    Web->Serve("/large-chunk", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n40001\r\n" +
                                   large + "\r\n0\r\n\r\n");
    Web->Serve("/large-closed", "HTTP/1.1 200 OK\r\n\r\n" + large);
    Web->Serve("/to-plain", WebServer::Redirect(
                                "http://example.test:" + std::to_string(Plain->Port()) + "/x.xml"));
    Web->Serve("/loop", WebServer::Redirect("/loop"));
    Web->Serve("/gone", "HTTP/1.1 410 Gone\r\nContent-Length: 0\r\n\r\n");
    Web->Serve("/not-http", "220 mail.example.test ESMTP\r\n");
    const std::tuple<std::string, int, std::string> cases[] = {
        {"https://example.test/large", Web->Port(), "larger than 256 KiB"},
        {"https://example.test/large-chunk", Web->Port(), "larger than 256 KiB"},
        {"https://example.test/large-closed", Web->Port(), "larger than 256 KiB"},
        {"https://example.test/to-plain", Web->Port(), "Only secure (https://) addresses"},
        {"https://example.test/loop", Web->Port(), "redirected too often"},
        {"https://example.test/gone", Web->Port(), "answered 410"},
        {"https://example.test/not-found", Web->Port(), "answered 404"},
        {"https://example.test/not-http", Web->Port(), "not HTTP"},
        {"http://example.test/x.xml", Plain->Port(), "Only secure (https://) addresses"},
        {"https://example.test/x.xml", Untrusted->Port(), "certificate"},
    };
    for (const auto& [url, port, reason] : cases) {
        SCOPED_TRACE(url);
        try {
            Get(url, port);
            ADD_FAILURE() << "fetched";
        } catch (const EWinshoeException& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
        }
    }
    pollfd waiting{Plain->Fd(), POLLIN, 0};
    EXPECT_EQ(::poll(&waiting, 1, 0), 0) << "a connection to the plain HTTP port";
    EXPECT_EQ(Untrusted->Requests(), std::vector<std::string>());
}

TEST_F(Fetch, SearchEndsWithTheConfigurationFile) {
    Web->Serve(FirstTarget, WebServer::Ok(Xml));
    const auto search = [] {
        return TSettingsSearch(nullptr, Options(Web->Port())).Run("ada@example.test");
    };
    TFoundSettings found = search();
    EXPECT_EQ(Described(found), "IMAP imap.example.test 993 SSL/TLS ada");
    EXPECT_EQ(SourceText(found), "Settings for example.test found in its configuration file.");

    // The second address when the first has nothing; nothing when neither has a readable file.
    Web->Serve(FirstTarget, "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    Web->Serve(SecondTarget, WebServer::Ok(Xml));
    EXPECT_EQ(search().Source, TSettingsSource::ConfigurationFile);
    Web->Serve(SecondTarget, WebServer::Ok(Xml.substr(0, 100)));
    found = search();
    EXPECT_EQ(SourceText(found), "No settings found for example.test: please fill in the server.");
    EXPECT_EQ(Web->Requests().back(), SecondTarget);
}

// A DNS server and a web server that never answer: the search ends at its limits, or at once when
// cancelled while it waits for either.
TEST_F(Fetch, SilentServersEndAtTheLimitsOrAtCancel) {
    FakeServer silent;
    const std::tuple<std::chrono::milliseconds, std::chrono::milliseconds, bool> cases[] = {
        {300ms, 300ms, false}, {10min, 10min, true}, {300ms, 10min, true}};
    for (const auto& [dnsLimit, fetchLimit, cancel] : cases) {
        SCOPED_TRACE(dnsLimit.count() + fetchLimit.count());
        silent.AddConnection({FakeServer::Hang()});
        silent.AddConnection({FakeServer::Hang()});
        std::promise<void> release;
        std::shared_future<void> released = release.get_future().share();
        TSettingsSearch::TOptions options = Options(silent.Port());
        options.ServiceResolver = [released](const std::string&, std::vector<TServiceRecord>&) {
            released.wait();
            return WSATRY_AGAIN;
        };
        options.DnsLimit = dnsLimit;
        options.FetchLimit = fetchLimit;
        TSettingsSearch search(nullptr, options);
        auto result =
            std::async(std::launch::async, [&] { return search.Run("ada@example.test"); });
        if (cancel) {
            EXPECT_EQ(result.wait_for(600ms), std::future_status::timeout);
            search.Cancel();
        }
        ASSERT_EQ(result.wait_for(20s), std::future_status::ready);
        EXPECT_FALSE(result.get().Found());
        // The abandoned lookups end, so that the next case has lookup threads to use.
        release.set_value();
        for (int i = 0; i < 1000 && THostLookup::Outstanding() > 0; ++i) {
            std::this_thread::sleep_for(10ms);
        }
    }
}
