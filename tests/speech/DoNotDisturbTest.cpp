// The do-not-disturb probe against a notification server of the test's own on
// a private session bus, and GNOME's setting through the real gsettings with
// a settings file of the test's own.
#include "platform/dnd/DoNotDisturb.h"
#include "speech/QuietHours.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <atomic>
#include <gtest/gtest.h>

namespace {

// A notification server with KDE Plasma's Inhibited property.
class TInhibitingServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
    Q_PROPERTY(bool Inhibited READ Inhibited)
public:
    std::atomic<bool> On{false};
    bool Inhibited() const { return On; }
public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

// One without it, as most servers are.
class TPlainServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public slots:
    QStringList GetCapabilities() { return {QStringLiteral("body")}; }
};

QTemporaryDir* Temp = nullptr;
QProcess* Bus = nullptr;
QString BusAddress;

// A private session bus: no other services, and one activatable notification
// server that only leaves a mark, so a probe that starts servers is caught.
bool StartBus() {
    const QString root = Temp->path();
    QDir().mkpath(root + "/services");
    QFile service(root + "/services/org.freedesktop.Notifications.service");
    if (!service.open(QIODevice::WriteOnly))
        return false;
    service.write(QStringLiteral("[D-BUS Service]\nName=org.freedesktop.Notifications\n"
                                 "Exec=/usr/bin/touch %1/activated\n")
                      .arg(root)
                      .toUtf8());
    service.close();
    QFile config(root + "/session.conf");
    if (!config.open(QIODevice::WriteOnly))
        return false;
    config.write(QStringLiteral(
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                     "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                     "<auth>EXTERNAL</auth><servicedir>%1/services</servicedir>"
                     // Without eavesdrop="true" this daemon passes on no replies.
                     "<policy context=\"default\"><allow send_destination=\"*\" "
                     "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/>"
                     "</policy></busconfig>\n")
                     .arg(root)
                     .toUtf8());
    config.close();
    Bus = new QProcess;
    Bus->start(QStringLiteral("dbus-daemon"),
               {QStringLiteral("--config-file=") + root + "/session.conf", "--nofork",
                "--print-address=1"});
    if (!Bus->waitForStarted(10000))
        return false;
    QElapsedTimer t;
    t.start();
    while (!Bus->canReadLine() && t.elapsed() < 20000)
        Bus->waitForReadyRead(500);
    BusAddress = QString::fromUtf8(Bus->readLine()).trimmed();
    return !BusAddress.isEmpty();
}

// Runs a server object on a connection of its own, in a thread of its own,
// so that the probe's blocking call on the main thread gets its answer.
class TServerThread {
public:
    template <typename TServer> TServer* Start() {
        auto* server = new TServer;
        server->moveToThread(&FThread);
        FThread.start();
        bool ok = false;
        QMetaObject::invokeMethod(
            server,
            [&] {
                QDBusConnection c = QDBusConnection::connectToBus(BusAddress, "server");
                ok = c.registerObject(QStringLiteral("/org/freedesktop/Notifications"), server,
                                      QDBusConnection::ExportAllSlots |
                                          QDBusConnection::ExportAllProperties) &&
                     c.registerService(QStringLiteral("org.freedesktop.Notifications"));
            },
            Qt::BlockingQueuedConnection);
        FServer = server;
        return ok ? server : nullptr;
    }
    ~TServerThread() {
        QMetaObject::invokeMethod(
            FServer,
            [this] {
                QDBusConnection::disconnectFromBus("server");
                delete FServer;
            },
            Qt::BlockingQueuedConnection);
        FThread.quit();
        FThread.wait();
    }

private:
    QThread FThread;
    QObject* FServer = nullptr;
};

TEST(DoNotDisturb, TheNotificationServersInhibitedProperty) {
    ASSERT_FALSE(BusAddress.isEmpty());
    const QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.isConnected());

    // No server: not on, and none was started to answer.
    EXPECT_FALSE(platform::NotificationsInhibited(bus));
    EXPECT_FALSE(QFile::exists(Temp->filePath(QStringLiteral("activated"))));
    EXPECT_FALSE(platform::NotificationsInhibited(QDBusConnection(QStringLiteral("none"))));

    {
        TServerThread thread;
        ASSERT_TRUE(thread.Start<TPlainServer>());
        EXPECT_FALSE(platform::NotificationsInhibited(bus));
    }
    TServerThread thread;
    TInhibitingServer* server = thread.Start<TInhibitingServer>();
    ASSERT_TRUE(server);
    EXPECT_FALSE(platform::NotificationsInhibited(bus));
    server->On = true;
    EXPECT_TRUE(platform::NotificationsInhibited(bus));
    EXPECT_TRUE(platform::DoNotDisturbOn());
    // Quiet for the clock's own speech; what the user asks for still speaks.
    EXPECT_FALSE(SpeechAllowedNow(TQuietHours(), TSpeechOccasion::OwnAccord));
    EXPECT_TRUE(SpeechAllowedNow(TQuietHours(), TSpeechOccasion::Asked));
    server->On = false;
    EXPECT_FALSE(platform::DoNotDisturbOn());
    EXPECT_TRUE(SpeechAllowedNow(TQuietHours(), TSpeechOccasion::OwnAccord));
}

TEST(DoNotDisturb, GnomesShowBannersInAGnomeSessionOnly) {
    if (QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty())
        GTEST_SKIP() << "gsettings is not installed";
    // The settings live in a key file of the test's own.
    qputenv("GSETTINGS_BACKEND", "keyfile");
    qputenv("XDG_CONFIG_HOME", Temp->filePath(QStringLiteral("config")).toLocal8Bit());
    auto set = [](const char* value) {
        return QProcess::execute(
                   QStringLiteral("gsettings"),
                   {"set", "org.gnome.desktop.notifications", "show-banners", value}) == 0;
    };
    ASSERT_TRUE(set("false")) << "no org.gnome.desktop.notifications schema";
    EXPECT_TRUE(platform::GnomeBannersHidden());
    for (const auto& [desktop, gnome] : std::initializer_list<std::pair<const char*, bool>>{
             {"GNOME", true}, {"ubuntu:GNOME", true}, {"KDE", false}, {"GNOMEish", false}}) {
        qputenv("XDG_CURRENT_DESKTOP", desktop);
        EXPECT_EQ(platform::DoNotDisturbOn(), gnome) << desktop;
    }
    // Where the schema is missing, gsettings fails and the answer is "not on".
    const QByteArray dataDirs = qgetenv("XDG_DATA_DIRS");
    qputenv("XDG_DATA_DIRS", Temp->path().toLocal8Bit());
    EXPECT_FALSE(platform::GnomeBannersHidden());
    qputenv("XDG_DATA_DIRS", dataDirs);

    qputenv("XDG_CURRENT_DESKTOP", "GNOME");
    ASSERT_TRUE(set("true"));
    EXPECT_FALSE(platform::DoNotDisturbOn());
    qunsetenv("XDG_CURRENT_DESKTOP");
}

} // namespace

int main(int argc, char** argv) {
    // Everything here talks to the private bus only, never the user's session.
    QTemporaryDir temp;
    Temp = &temp;
    qunsetenv("XDG_CURRENT_DESKTOP");
    if (!StartBus()) {
        fprintf(stderr, "could not start a private dbus-daemon\n");
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", BusAddress.toLocal8Bit());
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    Bus->terminate();
    Bus->waitForFinished(5000);
    delete Bus;
    return result;
}

#include "DoNotDisturbTest.moc"
