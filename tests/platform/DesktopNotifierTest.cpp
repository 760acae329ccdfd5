// The notifier against a real notification server of the test's own on a
// private session bus: the calls the server receives are read back.
#include "platform/notify/DesktopNotifier.h"

#include "NotificationServer.h"
#include "PrivateBus.h"
#include "QtGtest.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(Bus.BusAddress().isEmpty()) << "no dbus-daemon"; }
    QDBusConnection Connection(const QString& name) { return Bus.Connect(name); }
    TPrivateBus Bus;
};

const platform::TNewMailNotice Three{3, QStringLiteral("Jürgen Müller <jm@example.org>"),
                                     QStringLiteral("Grüße aus Köln")};

} // namespace

TEST_F(DesktopNotifierTest, OneNotificationPerCheckThatALaterCheckReplaces) {
    TNotificationServer server(Connection("server"), {"body", "actions"});
    platform::TDesktopNotifier notifier(Connection("client"));

    notifier.ShowNewMail(Three);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.NotifyCalls().size() == 1; }, 10000));
    const QVariantList first = server.NotifyCalls()[0].Args;
    EXPECT_EQ(first[0].toString(), "Talvoro");
    EXPECT_EQ(first[1].toUInt(), 0u);
    EXPECT_EQ(first[2].toString(), "com.example.Talvoro");
    EXPECT_EQ(first[3].toString(), "3 new messages");
    EXPECT_EQ(first[4].toString(), "Newest from Jürgen Müller <jm@example.org>\nGrüße aus Köln");
    EXPECT_EQ(first[5].toStringList(),
              QStringList({"launch-email", "Launch E-mail", "mark-read", "Mark Read"}));
    const QVariantMap hints = first[6].toMap();
    EXPECT_EQ(hints.value("category").toString(), "email.arrived");
    EXPECT_EQ(hints.value("desktop-entry").toString(), "com.example.Talvoro");

    // Two checks while the first call is still under way: only the later is shown.
    notifier.ShowNewMail({1, QStringLiteral("a@example.org"), QStringLiteral("first")});
    notifier.ShowNewMail({1, QStringLiteral("b@example.org"), QStringLiteral("second")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.NotifyCalls().size() == 2; }, 10000));
    QTest::qWait(200);
    ASSERT_EQ(server.NotifyCalls().size(), 2);
    const QVariantList second = server.NotifyCalls()[1].Args;
    EXPECT_EQ(second[1].toUInt(), 41u); // replaces the first
    EXPECT_EQ(second[3].toString(), "1 new message");
    EXPECT_EQ(second[4].toString(), "From b@example.org\nsecond");
}

TEST_F(DesktopNotifierTest, ActionsReachTheProgramAndAClosedNotificationIsNotReplaced) {
    TNotificationServer server(Connection("server"), {"body", "actions"});
    platform::TDesktopNotifier notifier(Connection("client"));
    QSignalSpy launch(&notifier, &platform::TDesktopNotifier::LaunchEmailRequested);
    QSignalSpy markRead(&notifier, &platform::TDesktopNotifier::MarkReadRequested);

    notifier.ShowNewMail(Three);
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.NotificationId() == 41; }, 10000));
    server.Emit("ActionInvoked", {99u, QStringLiteral("mark-read")}); // someone else's
    server.Emit("ActionInvoked", {41u, QStringLiteral("launch-email")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return launch.size() == 1; }, 10000));
    server.Emit("ActionInvoked", {41u, QStringLiteral("mark-read")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return markRead.size() == 1; }, 10000));
    EXPECT_EQ(launch.size(), 1);

    server.Emit("NotificationClosed", {41u, 2u});
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.NotificationId() == 0; }, 10000));
    notifier.ShowNewMail(Three);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.NotifyCalls().size() == 2; }, 10000));
    EXPECT_EQ(server.NotifyCalls()[1].Args[1].toUInt(), 0u);

    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.NotificationId() == 42; }, 10000));
    notifier.Withdraw();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return server.Calls.last().Method == "CloseNotification"; }, 10000));
    EXPECT_EQ(server.Calls.last().Args[0].toUInt(), 42u);
}

// Mark Read while the server has not yet answered Notify: the notification is closed as soon as
// its id is known, and a check that found mail meanwhile shows anew.
TEST_F(DesktopNotifierTest, AWithdrawnNotificationIsClosedWhenTheServerAnswersLate) {
    for (const bool newMailMeanwhile : {false, true}) {
        TNotificationServer server(Connection("server"), {"body", "actions"});
        platform::TDesktopNotifier notifier(Connection("client"));
        server.HoldNotifyReplies = true;
        notifier.ShowNewMail(Three);
        ASSERT_TRUE(QTest::qWaitFor([&] { return server.NotifyCalls().size() == 1; }, 10000));
        notifier.Withdraw();
        if (newMailMeanwhile)
            notifier.ShowNewMail({1, QStringLiteral("b@example.org"), QStringLiteral("later")});
        server.HoldNotifyReplies = false;
        server.ReleaseNotifyReplies();
        const auto isClose = [](const TCall& call) { return call.Method == "CloseNotification"; };
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return std::any_of(server.Calls.begin(), server.Calls.end(), isClose); }, 10000))
            << newMailMeanwhile;
        EXPECT_EQ(std::find_if(server.Calls.begin(), server.Calls.end(), isClose)->Args[0].toUInt(),
                  41u);
        if (newMailMeanwhile) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return notifier.NotificationId() == 42; }, 10000));
            EXPECT_EQ(server.NotifyCalls()[1].Args[1].toUInt(), 0u); // a new one, not the closed
        } else {
            QTest::qWait(200);
            EXPECT_EQ(notifier.NotificationId(), 0u);
            EXPECT_EQ(server.NotifyCalls().size(), 1);
        }
    }
}

TEST_F(DesktopNotifierTest, WithoutActionsOrWithMarkupTheServerGetsWhatItCanShow) {
    const platform::TNewMailNotice tricky{1, QStringLiteral("<b>Eve</b> & co"),
                                          QStringLiteral("line\r\nbreak\x7f")};
    TNotificationServer server(Connection("server"), {"body", "body-markup"});
    platform::TDesktopNotifier notifier(Connection("client"));
    notifier.ShowNewMail(tricky);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.NotifyCalls().size() == 1; }, 10000));
    EXPECT_EQ(server.NotifyCalls()[0].Args[4].toString(),
              "From &lt;b&gt;Eve&lt;/b&gt; &amp; co\nline  break");
    EXPECT_TRUE(server.NotifyCalls()[0].Args[5].toStringList().isEmpty());
}

TEST(DesktopNotifierTexts, ServerTextIsOneTidyLine) {
    EXPECT_EQ(platform::TDesktopNotifier::BodyText({2, QString(), QString()}, false),
              "(no subject)");
    const QString body = platform::TDesktopNotifier::BodyText(
        {1, QStringLiteral("x@example.org"), QString(500, QLatin1Char('s'))}, false);
    EXPECT_EQ(body.split('\n')[1].size(), 200);
    EXPECT_TRUE(body.endsWith(QChar(0x2026)));
}

TEST_F(DesktopNotifierTest, WithoutAServerItSaysSoOnceAndShowsNothing) {
    for (const bool connected : {true, false}) {
        platform::TDesktopNotifier notifier(connected ? Connection("client")
                                                      : QDBusConnection("none"));
        QSignalSpy status(&notifier, &platform::TDesktopNotifier::StatusText);
        notifier.ShowNewMail(Three);
        ASSERT_TRUE(QTest::qWaitFor([&] { return status.size() == 1; }, 10000)) << connected;
        notifier.ShowNewMail(Three);
        QTest::qWait(300);
        EXPECT_EQ(status.size(), 1);
        EXPECT_EQ(status[0][0].toString(), platform::TDesktopNotifier::UnavailableText());
    }
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
