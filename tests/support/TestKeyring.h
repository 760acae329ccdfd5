#pragma once
// The desktop keyring of a test: gnome-keyring-daemon's Secret Service on a private bus, in the
// states a user meets: unlocked, locked, locked with its unlock prompt open (a stand-in for the
// desktop's prompter takes the prompt and never answers it), stopped, and frozen (the service
// keeps its name on the bus and takes requests but answers none). libsecret keeps its bus for
// the life of the process, so a test that uses one runs in a process of its own.
#include "PrivateBus.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QDir>

#include <csignal>
#include <memory>
#include <sys/types.h>

class TTestKeyring {
public:
    // Points this process's session bus and the keyring's folders at the bus: before anything
    // in the process opens the session bus.
    explicit TTestKeyring(const TPrivateBus& bus) : Bus(bus) {
        for (const char* folder : {"home", "data", "config", "run"})
            QDir().mkpath(Bus.Folder() + "/" + folder);
        QFile::setPermissions(Bus.Folder() + "/run",
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("DBUS_SESSION_BUS_ADDRESS", Bus.BusAddress().toUtf8());
        qputenv("HOME", (Bus.Folder() + "/home").toUtf8());
        qputenv("XDG_DATA_HOME", (Bus.Folder() + "/data").toUtf8());
        qputenv("XDG_RUNTIME_DIR", (Bus.Folder() + "/run").toUtf8());
        for (const char* desktop : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION"})
            qunsetenv(desktop);
    }
    ~TTestKeyring() { Stop(); }
    TTestKeyring(const TTestKeyring&) = delete;
    TTestKeyring& operator=(const TTestKeyring&) = delete;

    // Starts the service with its login keyring unlocked (made at the first start).
    bool Start() {
        Pid = pid_t(TPrivateBus::StartUnlockedKeyring());
        return Pid > 0;
    }
    void Stop() {
        if (Pid <= 0)
            return;
        ::kill(Pid, SIGCONT);
        ::kill(Pid, SIGTERM);
        for (int i = 0; i < 200 && TPrivateBus::SecretsPid() != 0; ++i)
            QThread::msleep(50);
        Pid = 0;
    }
    void Freeze() { ::kill(Pid, SIGSTOP); }
    void Thaw() { ::kill(Pid, SIGCONT); }

    static bool Lock() {
        return !TPrivateBus::Call({"--dest", "org.freedesktop.secrets", "--object-path",
                                   "/org/freedesktop/secrets", "--method",
                                   "org.freedesktop.Secret.Service.Lock",
                                   "['/org/freedesktop/secrets/collection/login']"})
                    .isEmpty();
    }
    // Unlocks as the desktop's own tools do, past any prompt: with the keyring's password, sent
    // in a plain session of one connection.
    bool Unlock() const {
        QDBusConnection connection = Bus.Connect(QStringLiteral("unlock"));
        const QDBusMessage opened = connection.call(
            QDBusMessage::createMethodCall(Service, Root,
                                           QStringLiteral("org.freedesktop.Secret.Service"),
                                           QStringLiteral("OpenSession"))
            << QStringLiteral("plain") << QVariant::fromValue(QDBusVariant(QString())));
        if (opened.type() != QDBusMessage::ReplyMessage || opened.arguments().size() != 2)
            return false;
        QDBusArgument secret;
        secret.beginStructure();
        secret << opened.arguments()[1].value<QDBusObjectPath>() << QByteArray()
               << QByteArray("testpass") << QStringLiteral("text/plain");
        secret.endStructure();
        const QDBusMessage unlocked = connection.call(
            QDBusMessage::createMethodCall(
                Service, Root,
                QStringLiteral("org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface"),
                QStringLiteral("UnlockWithMasterPassword"))
            << QVariant::fromValue(QDBusObjectPath("/org/freedesktop/secrets/collection/login"))
            << QVariant::fromValue(secret));
        return unlocked.type() == QDBusMessage::ReplyMessage;
    }

    // From now on the keyring's unlock prompt stays open: the stand-in takes it and never
    // answers, as a desktop does while its prompt waits for the user.
    void HoldPromptsOpen() {
        Prompter = std::make_unique<TSilentPrompter>(Bus.Connect(QStringLiteral("prompter")));
    }

    // What another client of the keyring finds, or stores.
    static QString Lookup(const QString& server, const QString& login) {
        QProcess tool;
        tool.start(QStringLiteral("secret-tool"),
                   {"lookup", "server", server, "user", login, "type", "plaintext"});
        tool.waitForFinished(20000);
        return tool.exitCode() == 0 ? QString::fromUtf8(tool.readAllStandardOutput()) : QString();
    }
    static bool Store(const QString& server, const QString& login, const QString& password) {
        QProcess tool;
        tool.start(QStringLiteral("secret-tool"),
                   {"store", "--label=test", "server", server, "user", login, "type", "plaintext"});
        tool.write(password.toUtf8());
        tool.closeWriteChannel();
        return tool.waitForFinished(20000) && tool.exitCode() == 0;
    }

private:
    class TSilentPrompter : public QDBusVirtualObject {
    public:
        explicit TSilentPrompter(QDBusConnection bus) : Connection(std::move(bus)) {
            Connection.registerVirtualObject(QStringLiteral("/org/gnome/keyring/Prompter"), this);
            Connection.registerService(QStringLiteral("org.gnome.keyring.SystemPrompter"));
        }
        ~TSilentPrompter() override {
            Connection.unregisterService(QStringLiteral("org.gnome.keyring.SystemPrompter"));
            Connection.unregisterObject(QStringLiteral("/org/gnome/keyring/Prompter"));
        }
        QString introspect(const QString&) const override { return {}; }
        // The prompt begins; nothing more ever comes of it.
        bool handleMessage(const QDBusMessage& message,
                           const QDBusConnection& connection) override {
            if (message.member() == QLatin1String("BeginPrompting"))
                connection.send(message.createReply());
            return true;
        }

    private:
        QDBusConnection Connection;
    };

    inline static const QString Service = QStringLiteral("org.freedesktop.secrets");
    inline static const QString Root = QStringLiteral("/org/freedesktop/secrets");
    const TPrivateBus& Bus;
    pid_t Pid = 0;
    std::unique_ptr<TSilentPrompter> Prompter;
};
