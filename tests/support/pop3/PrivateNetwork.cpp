#include "PrivateNetwork.h"

#include <cstdio>

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool BindOver(const std::string& content, const char* target) {
    char path[] = "/tmp/tvlXXXXXX";
    const int file = ::mkstemp(path);
    if (file < 0) {
        return false;
    }
    const bool written =
        ::write(file, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    ::close(file);
    ::chmod(path, 0644);
    return written && ::mount(path, target, nullptr, MS_BIND, nullptr) == 0;
}

bool BringUpLoopback() {
    const int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq request{};
    std::snprintf(request.ifr_name, sizeof request.ifr_name, "lo");
    const bool up = ::ioctl(control, SIOCGIFFLAGS, &request) == 0 &&
                    (request.ifr_flags |= IFF_UP, ::ioctl(control, SIOCSIFFLAGS, &request) == 0);
    ::close(control);
    return up;
}

} // namespace

bool EnterPrivateLoopback() {
    return ::geteuid() == 0 && ::unshare(CLONE_NEWNET) == 0 && BringUpLoopback();
}

bool EnterPrivateNetwork(const std::string& resolvConf, const std::string& hosts) {
    if (::geteuid() != 0 || ::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return false;
    }
    return BringUpLoopback() && BindOver(resolvConf, "/etc/resolv.conf") &&
           BindOver(hosts, "/etc/hosts");
}

bool StartSilentDnsServer() {
    const int dns = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::bind(dns, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}
