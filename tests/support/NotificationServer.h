#pragma once
// org.freedesktop.Notifications as a small server of the test's own on a private bus: it logs
// each call it receives, answers GetCapabilities with the given list and can emit the server's
// signals (ActionInvoked, NotificationClosed).
#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>

struct TCall {
    QString Method;
    QVariantList Args;
};

class TNotificationServer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    TNotificationServer(QDBusConnection bus, QStringList capabilities)
        : Bus(std::move(bus)), Capabilities(std::move(capabilities)) {
        Bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                           QDBusConnection::ExportAllSlots);
        Bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
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
    QList<TCall> Calls;

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
        return replaces != 0 ? replaces : ++LastId;
    }
    void CloseNotification(uint id) { Calls.append({QStringLiteral("CloseNotification"), {id}}); }

private:
    QDBusConnection Bus;
    QStringList Capabilities;
    uint LastId = 40;
};
