#pragma once
// A private D-Bus session bus for one test program: its own dbus-daemon with
// no service folders, so nothing on it starts by itself (a packaged
// notification server or keyring would otherwise be activated), stopped when
// the object goes.
#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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

private:
    QTemporaryDir Dir;
    QProcess Daemon;
    QString Address;
};
