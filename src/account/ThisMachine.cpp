#include "account/ThisMachine.h"

#include <cstring>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <unistd.h>

namespace {

bool IsOwnAddress(int family, const void* address) {
    ifaddrs* interfaces = nullptr;
    if (::getifaddrs(&interfaces) != 0) {
        return false;
    }
    bool own = false;
    for (const ifaddrs* each = interfaces; each != nullptr && !own; each = each->ifa_next) {
        if (each->ifa_addr == nullptr || each->ifa_addr->sa_family != family) {
            continue;
        }
        if (family == AF_INET) {
            own = std::memcmp(&reinterpret_cast<const sockaddr_in*>(each->ifa_addr)->sin_addr,
                              address, sizeof(in_addr)) == 0;
        } else {
            own = std::memcmp(&reinterpret_cast<const sockaddr_in6*>(each->ifa_addr)->sin6_addr,
                              address, sizeof(in6_addr)) == 0;
        }
    }
    ::freeifaddrs(interfaces);
    return own;
}

} // namespace

bool IsOnThisMachine(const QString& host) {
    QString name = host.trimmed().toLower();
    if (name.size() > 2 && name.startsWith(u'[') && name.endsWith(u']')) {
        name = name.mid(1, name.size() - 2);
    }
    if (name.endsWith(u'.')) {
        name.chop(1);
    }
    if (name.isEmpty()) {
        return false;
    }
    if (name == u"localhost" || name.endsWith(u".localhost")) {
        return true;
    }
    const QByteArray bytes = name.toLatin1();
    in_addr ipv4{};
    in6_addr ipv6{};
    if (::inet_pton(AF_INET, bytes.constData(), &ipv4) == 1) {
        const std::uint32_t value = ntohl(ipv4.s_addr);
        return (value >> 24) == 127 || value == 0 || IsOwnAddress(AF_INET, &ipv4);
    }
    if (::inet_pton(AF_INET6, bytes.constData(), &ipv6) == 1) {
        if (IN6_IS_ADDR_LOOPBACK(&ipv6) || IN6_IS_ADDR_UNSPECIFIED(&ipv6)) {
            return true;
        }
        if (IN6_IS_ADDR_V4MAPPED(&ipv6)) {
            return ipv6.s6_addr[12] == 127;
        }
        return IsOwnAddress(AF_INET6, &ipv6);
    }
    char own[256] = {};
    if (::gethostname(own, sizeof own - 1) != 0) {
        return false;
    }
    const QString self = QString::fromLocal8Bit(own).toLower();
    // The short form of a host name set as "mybox.example.org" is this machine too; the other
    // way round it is not: "mybox.elsewhere.net" may be anybody's.
    return !self.isEmpty() && (name == self || self.section(u'.', 0, 0) == name);
}
