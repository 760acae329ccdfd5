#include "platform/network/NetworkWatcher.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>
#include <unistd.h>

TNetworkWatcher::TNetworkWatcher(QObject* Parent)
    : TNetworkWatcher(QDBusConnection::systemBus(), Parent) {}

TNetworkWatcher::TNetworkWatcher(const QDBusConnection& SystemBus, QObject* Parent)
    : QObject(Parent) {
    // Any sender: matching on logind's name would cost a blocking name lookup, and a forged
    // signal can do no more than start a reconnection.
    QDBusConnection Bus = SystemBus;
    FWatchingSleep =
        Bus.isConnected() &&
        Bus.connect(QString(), QStringLiteral("/org/freedesktop/login1"),
                    QStringLiteral("org.freedesktop.login1.Manager"),
                    QStringLiteral("PrepareForSleep"), this, SLOT(OnPrepareForSleep(bool)));
    OpenNetlink();
}

TNetworkWatcher::~TNetworkWatcher() {
    if (FNetlink >= 0)
        ::close(FNetlink);
}

void TNetworkWatcher::OnPrepareForSleep(bool Starting) {
    if (!Starting)
        emit ConnectionMayBeBack();
}

void TNetworkWatcher::OpenNetlink() {
    const int Socket = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE);
    if (Socket < 0)
        return;
    sockaddr_nl Address{};
    Address.nl_family = AF_NETLINK;
    Address.nl_groups = RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(Socket, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0) {
        ::close(Socket);
        return;
    }
    FNetlink = Socket;
    FNotifier = new QSocketNotifier(FNetlink, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, &TNetworkWatcher::ReadRoutes);
}

void TNetworkWatcher::ReadRoutes() {
    bool Announced = false;
    alignas(nlmsghdr) char Buffer[16384];
    for (;;) {
        const ssize_t Received = ::recv(FNetlink, Buffer, sizeof Buffer, 0);
        if (Received < 0 && errno == EINTR)
            continue;
        // ENOBUFS: the kernel dropped messages while we were slow; one of them may have been
        // the route, so it counts as one.
        if (Received < 0 && errno == ENOBUFS) {
            Announced = true;
            continue;
        }
        if (Received <= 0)
            break;
        Announced = AnnouncesDefaultRoute(Buffer, static_cast<std::size_t>(Received)) || Announced;
    }
    if (Announced)
        emit ConnectionMayBeBack();
}

bool TNetworkWatcher::AnnouncesDefaultRoute(const void* Messages, std::size_t Length) {
    int Left = static_cast<int>(std::min<std::size_t>(Length, 1 << 30));
    for (auto* Header = static_cast<const nlmsghdr*>(Messages); NLMSG_OK(Header, Left);
         Header = NLMSG_NEXT(Header, Left)) {
        if (Header->nlmsg_type != RTM_NEWROUTE || Header->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg)))
            continue;
        const auto* Route = static_cast<const rtmsg*>(NLMSG_DATA(Header));
        if (Route->rtm_dst_len == 0 && Route->rtm_table == RT_TABLE_MAIN &&
            Route->rtm_type == RTN_UNICAST)
            return true;
    }
    return false;
}
