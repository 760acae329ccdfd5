#pragma once
// A private D-Bus session bus for one test program: its own dbus-daemon with
// no service folders, so nothing on it starts by itself (a packaged
// notification server or keyring would otherwise be activated), stopped when
// the object goes.
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

class TPrivateBus {
public:
    TPrivateBus() {
        const QString config = Dir.filePath(QStringLiteral("session.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=" +
                   QFile::encodeName(Dir.path()) +
                   "</listen><auth>EXTERNAL</auth>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();
        Daemon.start(QStringLiteral("dbus-daemon"),
                     {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                      QStringLiteral("--nosyslog"), QStringLiteral("--print-address=1")});
        if (!Daemon.waitForStarted(10000))
            return;
        while (!Daemon.canReadLine() && Daemon.waitForReadyRead(10000)) {
        }
        Address = QString::fromUtf8(Daemon.readLine()).trimmed();
    }
    ~TPrivateBus() {
        Daemon.terminate();
        if (!Daemon.waitForFinished(5000)) {
            Daemon.kill();
            Daemon.waitForFinished(5000);
        }
    }
    TPrivateBus(const TPrivateBus&) = delete;
    TPrivateBus& operator=(const TPrivateBus&) = delete;

    // The bus address; empty when the daemon could not start.
    const QString& BusAddress() const { return Address; }

    // A new connection of this process to the bus. Qt keeps connections by
    // name for the life of the process, so every one gets a name of its own.
    QDBusConnection Connect(const QString& name) const {
        static int count = 0;
        return QDBusConnection::connectToBus(Address, name + QString::number(++count));
    }

    // A folder that lives as long as the bus, for the services' own files.
    QString Folder() const { return Dir.path(); }

    // The following reach the bus as any other client would, through DBUS_SESSION_BUS_ADDRESS:
    // set it to BusAddress() first.

    // gdbus's reply to a call on the session bus; empty when the call failed.
    static QString Call(const QStringList& arguments) {
        QProcess gdbus;
        gdbus.start(QStringLiteral("gdbus"), QStringList{"call", "--session"} + arguments);
        gdbus.waitForFinished(20000);
        return gdbus.exitCode() == 0 ? QString::fromUtf8(gdbus.readAllStandardOutput()) : QString();
    }

    // The process that owns org.freedesktop.secrets; 0 when none does.
    static qint64 SecretsPid() {
        // "(uint32 1234,)"
        const QString reply = Call(
            {"--dest", "org.freedesktop.DBus", "--object-path", "/org/freedesktop/DBus", "--method",
             "org.freedesktop.DBus.GetConnectionUnixProcessID", "org.freedesktop.secrets"});
        return reply.section(' ', 1, 1).section(',', 0, 0).toLongLong();
    }

    // Starts gnome-keyring-daemon's Secret Service with its login keyring unlocked by a test
    // password; returns the service's process id (for the caller to end), 0 when it did not
    // come up.
    static qint64 StartUnlockedKeyring() {
        QProcess daemon;
        daemon.start(QStringLiteral("gnome-keyring-daemon"),
                     {QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        if (!daemon.waitForStarted(10000))
            return 0;
        daemon.write("testpass");
        daemon.closeWriteChannel();
        if (!daemon.waitForFinished(20000)) // it goes on in the background
            return 0;
        for (int i = 0; i < 200; ++i) {
            if (const qint64 pid = SecretsPid(); pid > 0)
                return pid;
            QThread::msleep(100);
        }
        return 0;
    }

private:
    QTemporaryDir Dir;
    QProcess Daemon;
    QString Address;
};
