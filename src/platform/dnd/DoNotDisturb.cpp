#include "platform/dnd/DoNotDisturb.h"

#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QProcess>

namespace platform {

bool NotificationsInhibited(const QDBusConnection& bus, int timeoutMs) {
    if (!bus.isConnected())
        return false;
    QDBusMessage get = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << QStringLiteral("org.freedesktop.Notifications") << QStringLiteral("Inhibited");
    // Asking must not start a notification server that D-Bus could activate.
    get.setAutoStartService(false);
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, timeoutMs);
    return reply.isValid() && reply.value().variant().toBool();
}

bool GnomeSession() {
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(u':');
    return desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}

bool GnomeBannersHidden(int timeoutMs) {
    QProcess gsettings;
    gsettings.setProcessChannelMode(QProcess::SeparateChannels);
    gsettings.start(QStringLiteral("gsettings"),
                    {QStringLiteral("get"), QStringLiteral("org.gnome.desktop.notifications"),
                     QStringLiteral("show-banners")});
    if (!gsettings.waitForFinished(timeoutMs)) {
        gsettings.kill();
        gsettings.waitForFinished(1000);
        return false;
    }
    // A missing schema is an error exit with a message on standard error.
    return gsettings.exitStatus() == QProcess::NormalExit && gsettings.exitCode() == 0 &&
           gsettings.readAllStandardOutput().trimmed() == "false";
}

bool DoNotDisturbOn() {
    if (NotificationsInhibited(QDBusConnection::sessionBus()))
        return true;
    return GnomeSession() && GnomeBannersHidden();
}

} // namespace platform
