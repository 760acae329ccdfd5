#pragma once
// TNetworkWatcher: tells its owner when a connection that was lost may work again, so that a
// push connection waiting to retry can try at once. One signal, ConnectionMayBeBack, emitted
//   - when the machine has resumed from suspend: logind's PrepareForSleep(false) on the system
//     bus (org.freedesktop.login1.Manager; DBUS_SYSTEM_BUS_ADDRESS is honoured);
//   - when a default route appears (an RTM_NEWROUTE message from the kernel's rtnetlink socket,
//     watched on the thread that owns the object): a network came up.
// Several route messages read together give one signal. Nothing is polled and no timer runs:
// while nothing changes, the watcher costs no wake-up. Without a system bus or without netlink
// the other half still works; neither is an error.
#include <QDBusConnection>
#include <QObject>

#include <cstddef>

class QSocketNotifier;

class TNetworkWatcher : public QObject {
    Q_OBJECT
public:
    // Watches the system bus.
    explicit TNetworkWatcher(QObject* Parent = nullptr);
    // Watches the given bus instead (tests: a private bus with a stand-in logind).
    explicit TNetworkWatcher(const QDBusConnection& SystemBus, QObject* Parent = nullptr);
    ~TNetworkWatcher() override;

    bool WatchingSleep() const { return FWatchingSleep; }
    bool WatchingRoutes() const { return FNetlink >= 0; }

    // Whether a batch of rtnetlink messages announces a new default route of the main table.
    static bool AnnouncesDefaultRoute(const void* Messages, std::size_t Length);

signals:
    void ConnectionMayBeBack();

private slots:
    void OnPrepareForSleep(bool Starting);

private:
    void OpenNetlink();
    void ReadRoutes();

    bool FWatchingSleep = false;
    int FNetlink = -1;
    QSocketNotifier* FNotifier = nullptr;
};
