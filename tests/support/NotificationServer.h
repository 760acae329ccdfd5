#pragma once
// org.freedesktop.Notifications as a small server of the test's own on a private bus: it logs
// each call it receives, answers GetCapabilities with the given list and can emit the server's
// signals (ActionInvoked, NotificationClosed). With HoldNotifyReplies it answers Notify only
// when told to (ReleaseNotifyReplies), as a busy server would.
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

struct TCall {
    QString Method;
    QVariantList Args;
};

class TNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    TNotificationServer(QDBusConnection bus, QStringList capabilities)
        : Bus(std::move(bus)), Capabilities(std::move(capabilities)) {
        Bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                           QDBusConnection::ExportAllSlots);
        Bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }
    // Gives the name up, so that another stand-in on the same bus can take it.
    ~TNotificationServer() override {
        Bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        Bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
    }
    void Emit(const QString& signal, const QVariantList& args) {
        QDBusMessage message =
            QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/Notifications"),
                                       QStringLiteral("org.freedesktop.Notifications"), signal);
        message.setArguments(args);
        Bus.send(message);
    }
    QList<TCall> NotifyCalls() const {
        QList<TCall> found;
        for (const TCall& call : Calls)
            if (call.Method == QLatin1String("Notify"))
                found << call;
        return found;
    }
    void ReleaseNotifyReplies() {
        for (const QDBusMessage& reply : std::as_const(HeldReplies))
            Bus.send(reply);
        HeldReplies.clear();
    }
    QList<TCall> Calls;
    bool HoldNotifyReplies = false;

public slots:
    QStringList GetCapabilities() {
        Calls.append({QStringLiteral("GetCapabilities"), {}});
        return Capabilities;
    }
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout) {
        Calls.append({QStringLiteral("Notify"),
                      {app, replaces, icon, summary, body, actions, hints, timeout}});
        const uint id = replaces != 0 ? replaces : ++LastId;
        if (HoldNotifyReplies) {
            setDelayedReply(true);
            HeldReplies << message().createReply(QVariant::fromValue(id));
        }
        return id;
    }
    void CloseNotification(uint id) { Calls.append({QStringLiteral("CloseNotification"), {id}}); }
    // libnotify's clients (Mailnag) ask for it.
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
        vendor = QStringLiteral("Talvoro tests");
        version = QStringLiteral("1.0");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("stand-in");
    }

private:
    QDBusConnection Bus;
    QStringList Capabilities;
    QList<QDBusMessage> HeldReplies;
    uint LastId = 40;
};
