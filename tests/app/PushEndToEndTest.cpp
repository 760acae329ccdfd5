// Push end to end: the real program with an IMAP account idles on a real Dovecot, and what is
// delivered into the Maildir is announced (the character's request log) within moments: over
// TLS, in a burst, after the server was killed and started again, after the connection silently
// stopped carrying packets, and after a resume that a stand-in logind announces.
//
// As root where unshare works, the process (and so Dovecot and the program) runs in a network
// namespace of its own, set up in main before any thread exists, where a firewall rule can
// swallow a connection's packets.
#include "DovecotServer.h"
#include "PrivateBus.h"
#include "PrivateNetwork.h"
#include "RealProgram.h"
#include "TestCertificates.h"
#include "settings/Scrambler.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>

namespace {

bool PrivateNetwork = false;

// Sanitizer builds are slower by a wide margin.
constexpr int Slowness = TALVORO_SANITIZED ? 5 : 1;

std::string Message(const std::string& subject) {
    return "From: Sender <s@example.org>\nSubject: " + subject + "\nMessage-ID: <" + subject +
           "@example.org>\n\nbody\n";
}

class PushEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!DovecotServer::Available())
            GTEST_SKIP() << "dovecot is not installed";
        ASSERT_TRUE(Dir.isValid());
        QFile::setPermissions(Dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                              QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                              QFileDevice::ExeOther);
        Certificates = std::make_unique<TestCertificates>(Dir.path().toStdString());
        const auto good = Certificates->Issue("good", {"DNS:localhost", "IP:127.0.0.1"});
        ::setenv("SSL_CERT_FILE", Certificates->AuthorityFile().c_str(), 1);
        DovecotServer::Options options;
        options.Imap = true;
        options.Tls = true;
        options.TlsFiles = {good.Certificate, good.Key, {}};
        Server = std::make_unique<DovecotServer>(
            std::vector<DovecotServer::User>{{"alice", "secret"}}, options);
    }

    // Checking on, push on, the time never spoken, and no scheduled check while a test runs.
    void Start(bool tls = false, const QStringList& environment = {}) {
        const int security = tls ? 1 : 0;
        const int port = tls ? Server->ImapSecurePort() : Server->ImapPort();
        Program.Seed(
            SettingsLine("CheckBoxEnableEmailCheck", "1") + SettingsLine("CheckInterval", "60") +
            SettingsLine("RadioGroupInternetConnection", "1") +
            SettingsLine("RadioGroupSayTimeInterval", "3") + SettingsLine("EditYourName", "") +
            SettingsLine("Timeout", "30000") + SettingsLine("EditPOP3Server", Server->Host()) +
            SettingsLine("EditPOP3Port", std::to_string(port)) +
            SettingsLine("EditPOP3Account", "alice") +
            SettingsLine("EditPOP3Password", ScrambleText("secret")) +
            SettingsLine("ComboBoxPOP3Security", std::to_string(security)) +
            SettingsLine("ComboBoxMailProtocol", "1"));
        // A fixed start at normal speed: the next scheduled check is at 11:00. The monotonic
        // clock stays the system's, which the push connection's waits measure against.
        // libfaketime cannot be preloaded into a sanitized program, which runs on the real
        // clock.
        QProcessEnvironment env = Program.Environment("10:17:05");
        env.insert("FAKETIME_DONT_FAKE_MONOTONIC", "1");
        if (TALVORO_SANITIZED) {
            env.remove("LD_PRELOAD");
            env.remove("FAKETIME");
        }
        env.insert("TALVORO_IMAP_RETRY_SECONDS", "1");
        env.insert("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + Dir.path() + "/no-system-bus");
        for (const QString& variable : environment)
            env.insert(variable.section('=', 0, 0), variable.section('=', 1));
        Program.Start(env);
        // Push in force, and the check it asks for once it idles has found the empty folder.
        ASSERT_TRUE(Program.WaitForLog("Push is on", 30 * Slowness))
            << Program.DebugLog().toStdString();
        ASSERT_TRUE(Program.WaitForLog("No unread messages", 30 * Slowness))
            << Program.DebugLog().toStdString();
        LogStart = Program.DebugLog().size();
    }

    void Deliver(const std::string& subject) {
        Server->Deliver("alice", Message(subject), {"", false, true});
    }

    // Waits (in real time) until the character has said Subject; the milliseconds it took, or
    // -1.
    qint64 WaitForAnnouncement(const std::string& subject, int seconds = 30) {
        QElapsedTimer clock;
        clock.start();
        const QString text = QString::fromStdString("Subject: " + subject + ".");
        while (clock.elapsed() < seconds * 1000 * Slowness && Program.Running()) {
            for (const QString& spoken : Program.Spoken())
                if (spoken.endsWith(text))
                    return clock.elapsed();
            QThread::msleep(10);
        }
        return -1;
    }

    // How often the debug log says Text after the start.
    int Count(const QString& text) const {
        return int(Program.DebugLog().mid(LogStart).count(text));
    }

    // Drops every packet of the connections to or from the IMAP port's current client port
    // (the push connection's: the only one open between checks).
    void SwallowThePushConnection() {
        QProcess ss;
        ss.start("ss", {"-Htn", "state", "established",
                        QString("( dport = :%1 )").arg(Server->ImapPort())});
        ASSERT_TRUE(ss.waitForFinished(10000));
        const auto match =
            QRegularExpression(":(\\d+)\\s").match(QString::fromUtf8(ss.readAllStandardOutput()));
        ASSERT_TRUE(match.hasMatch());
        const std::string port = match.captured(1).toStdString();
        ASSERT_EQ(std::system(("nft add table inet talvoro && nft add chain inet talvoro input "
                               "'{ type filter hook input priority 0; }' && nft add rule inet "
                               "talvoro input tcp sport " +
                               port + " drop && nft add rule inet talvoro input tcp dport " + port +
                               " drop")
                                  .c_str()),
                  0);
    }

    QTemporaryDir Dir;
    std::unique_ptr<TestCertificates> Certificates;
    std::unique_ptr<DovecotServer> Server;
    TRealProgram Program{Dir.path()};
    qsizetype LogStart = 0;
};

TEST_F(PushEndToEndTest, ADeliveryIsAnnouncedWithinTwoSecondsOverTls) {
    Start(true);
    Deliver("first");
    const qint64 took = WaitForAnnouncement("first");
    std::printf("delivery to announcement over TLS: %lld ms\n", static_cast<long long>(took));
    EXPECT_GE(took, 0) << Program.DebugLog().toStdString();
    EXPECT_LT(took, 2000 * Slowness);
    EXPECT_EQ(Program.Spoken().value(0).toStdString(),
              "You have one new message.  The message is from \\Ctx=e-mail\\Sender.   "
              "\\pau=200\\Subject: first.");
    Program.Stop();
    EXPECT_TRUE(Program.Hive().contains("\"PanelLastIMAPUID\"=\"")) << Program.Hive().toStdString();
}

// Twenty messages at once are one check, and one announcement of twenty.
TEST_F(PushEndToEndTest, ABurstIsOneCheck) {
    Start();
    for (int n = 1; n <= 20; ++n)
        Deliver("burst " + std::to_string(n));
    ASSERT_GE(WaitForAnnouncement("burst 20"), 0) << Program.DebugLog().toStdString();
    ASSERT_TRUE(Program.WaitForLog("You have 20 unread message(s)"));
    EXPECT_TRUE(Program.Spoken().value(0).startsWith("You have 20 new messages.  I will only "
                                                     "announce the last 3."))
        << Program.Spoken().join(" | ").toStdString();
    // A check after the burst would come before the one for this message.
    Deliver("marker");
    ASSERT_GE(WaitForAnnouncement("marker"), 0) << Program.DebugLog().toStdString();
    EXPECT_EQ(Count("Checking for new messages"), 2) << Program.DebugLog().toStdString();
    Program.Stop();
}

// The server goes, mail comes meanwhile, the server comes back: the program connects again by
// itself, says when it tries, and announces what came; then push works as before (over TLS).
TEST_F(PushEndToEndTest, AServerKilledAndStartedAgainIsReconnected) {
    Start(true);
    Server->Kill();
    ASSERT_TRUE(Program.WaitForLog("will try again at", 30 * Slowness))
        << Program.DebugLog().toStdString();
    EXPECT_TRUE(Program.DebugLog().contains(
        QRegularExpression("No push connection \\(.+\\); will try again at \\d\\d:\\d\\d")));
    Deliver("meanwhile");
    Server->Restart();
    EXPECT_GE(WaitForAnnouncement("meanwhile"), 0) << Program.DebugLog().toStdString();
    Deliver("after");
    const qint64 took = WaitForAnnouncement("after");
    EXPECT_GE(took, 0);
    EXPECT_LT(took, 2000 * Slowness);
    Program.Stop();
}

// A connection that stops carrying packets without a word is noticed by the system's keep-alive
// probes (shortened here) and made again once packets flow.
TEST_F(PushEndToEndTest, ASilentlyDeadConnectionIsNoticedAndMadeAgain) {
    if (!PrivateNetwork)
        GTEST_SKIP() << "needs root and unshare for a firewall of its own";
    Start(false, {"TALVORO_IMAP_KEEPALIVE_SECONDS=4"});
    SwallowThePushConnection();
    ASSERT_TRUE(Program.WaitForLog("will try again at", 30 * Slowness))
        << Program.DebugLog().toStdString();
    ASSERT_EQ(std::system("nft delete table inet talvoro"), 0);
    Deliver("after the silence");
    EXPECT_GE(WaitForAnnouncement("after the silence"), 0) << Program.DebugLog().toStdString();
    Program.Stop();
}

// After a resume the old connection is dead, and keep-alive would take minutes to tell: the
// resume makes the program connect again at once and announce what came while it slept.
TEST_F(PushEndToEndTest, AResumeConnectsAgainAtOnce) {
    if (!PrivateNetwork)
        GTEST_SKIP() << "needs root and unshare for a firewall of its own";
    TPrivateBus bus;
    ASSERT_FALSE(bus.BusAddress().isEmpty());
    QDBusConnection logind = bus.Connect(QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    Start(false,
          {"TALVORO_IMAP_KEEPALIVE_SECONDS=600", "DBUS_SYSTEM_BUS_ADDRESS=" + bus.BusAddress()});
    SwallowThePushConnection();
    Deliver("while asleep");
    QDBusMessage resumed = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/login1"), QStringLiteral("org.freedesktop.login1.Manager"),
        QStringLiteral("PrepareForSleep"));
    resumed << false;
    ASSERT_TRUE(logind.send(resumed));
    const qint64 took = WaitForAnnouncement("while asleep");
    std::printf("resume to announcement: %lld ms\n", static_cast<long long>(took));
    EXPECT_GE(took, 0) << Program.DebugLog().toStdString();
    EXPECT_LT(took, 10000 * Slowness);
    Program.Stop();
    std::system("nft delete table inet talvoro");
}

} // namespace

int main(int argc, char** argv) {
    // Only while the process has a single thread.
    PrivateNetwork = EnterPrivateLoopback();
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
