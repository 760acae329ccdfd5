// Telling when the connection may be back: a stand-in logind on a private bus announces the
// resume, and, as root in a network namespace of the test's own (set up in main before any
// thread exists), a default route that appears.

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>

#include <cstring>
#include <vector>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>

#include <gtest/gtest.h>

#include "PrivateBus.h"
#include "PrivateNetwork.h"
#include "platform/network/NetworkWatcher.h"

namespace {

bool PrivateNetwork = false;

// Counts a marker signal: once it is seen, every signal sent before it has been handled.
class TMarker : public QObject {
    Q_OBJECT
public slots:
    void Done() { ++Seen; }

public:
    int Seen = 0;
};

struct TRoute {
    unsigned short Type = RTM_NEWROUTE;
    unsigned char DstLen = 0;
    unsigned char Table = RT_TABLE_MAIN;
    unsigned char RouteType = RTN_UNICAST;
};

std::vector<char> Messages(const std::vector<TRoute>& routes) {
    std::vector<char> bytes;
    for (const TRoute& route : routes) {
        std::vector<char> message(NLMSG_SPACE(sizeof(rtmsg)));
        auto* header = reinterpret_cast<nlmsghdr*>(message.data());
        header->nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
        header->nlmsg_type = route.Type;
        auto* body = static_cast<rtmsg*>(NLMSG_DATA(header));
        body->rtm_dst_len = route.DstLen;
        body->rtm_table = route.Table;
        body->rtm_type = route.RouteType;
        bytes.insert(bytes.end(), message.begin(), message.end());
    }
    return bytes;
}

} // namespace

TEST(NetworkWatcher, OnlyANewDefaultRouteCounts) {
    const std::vector<std::pair<std::vector<TRoute>, bool>> cases = {
        {{TRoute{}}, true},
        {{TRoute{RTM_NEWROUTE, 24}}, false},
        {{TRoute{RTM_DELROUTE}}, false},
        {{TRoute{RTM_NEWROUTE, 0, RT_TABLE_LOCAL}}, false},
        {{TRoute{RTM_NEWROUTE, 0, RT_TABLE_MAIN, RTN_UNREACHABLE}}, false},
        {{TRoute{RTM_NEWROUTE, 8}, TRoute{}}, true},
        {{}, false},
    };
    for (const auto& [routes, expected] : cases) {
        const std::vector<char> bytes = Messages(routes);
        EXPECT_EQ(TNetworkWatcher::AnnouncesDefaultRoute(bytes.data(), bytes.size()), expected);
    }
    // Cut short: the message is not read beyond what arrived.
    const std::vector<char> bytes = Messages({TRoute{}});
    EXPECT_FALSE(TNetworkWatcher::AnnouncesDefaultRoute(bytes.data(), sizeof(nlmsghdr) + 2));
}

TEST(NetworkWatcher, ResumeFromSuspend) {
    TPrivateBus bus;
    ASSERT_FALSE(bus.BusAddress().isEmpty());
    QDBusConnection watched = bus.Connect(QStringLiteral("watcher"));
    QDBusConnection logind = bus.Connect(QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    TNetworkWatcher watcher(watched);
    EXPECT_TRUE(watcher.WatchingSleep());
    TMarker marker;
    ASSERT_TRUE(watched.connect(QString(), QStringLiteral("/test"), QStringLiteral("test.Marker"),
                                QStringLiteral("Done"), &marker, SLOT(Done())));
    // A round trip on the watcher's connection: its match rules have reached the bus.
    watched.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.login1"));
    QSignalSpy back(&watcher, &TNetworkWatcher::ConnectionMayBeBack);
    for (const bool starting : {true, false}) {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/login1"),
            QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"));
        signal << starting;
        ASSERT_TRUE(logind.send(signal));
    }
    ASSERT_TRUE(logind.send(QDBusMessage::createSignal(
        QStringLiteral("/test"), QStringLiteral("test.Marker"), QStringLiteral("Done"))));
    QElapsedTimer waited;
    waited.start();
    while (marker.Seen == 0 && waited.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    }
    ASSERT_EQ(marker.Seen, 1);
    EXPECT_EQ(back.count(), 1);
}

TEST(NetworkWatcher, DefaultRouteAppears) {
    if (!PrivateNetwork) {
        GTEST_SKIP() << "needs root and unshare for routes of its own";
    }
    TNetworkWatcher watcher(QDBusConnection(QStringLiteral("none")));
    ASSERT_TRUE(watcher.WatchingRoutes());
    EXPECT_FALSE(watcher.WatchingSleep());
    QSignalSpy back(&watcher, &TNetworkWatcher::ConnectionMayBeBack);
    EXPECT_EQ(QProcess::execute(QStringLiteral("ip"), {"route", "add", "default", "dev", "lo"}), 0);
    ASSERT_TRUE(back.wait(20000));
    EXPECT_EQ(back.count(), 1);
}

int main(int argc, char** argv) {
    // Only while the process has a single thread.
    PrivateNetwork = EnterPrivateLoopback();
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "NetworkWatcherTest.moc"
