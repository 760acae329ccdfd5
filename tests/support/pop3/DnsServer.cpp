#include "DnsServer.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const char* const Binary = "/usr/sbin/dnsmasq";

// Whether something listens on 127.0.0.1:53 already.
bool PortTaken() {
    const int probe = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool taken = ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 &&
                       errno == EADDRINUSE;
    ::close(probe);
    return taken;
}

} // namespace

bool DnsServer::Available() {
    return ::access(Binary, X_OK) == 0;
}

DnsServer::DnsServer(const std::vector<Srv>& services, const std::vector<Address>& addresses) {
    std::vector<std::string> arguments = {Binary,
                                          "--keep-in-foreground",
                                          "--conf-file=/dev/null",
                                          "--pid-file=",
                                          "--no-resolv",
                                          "--no-hosts",
                                          "--listen-address=127.0.0.1",
                                          "--bind-interfaces",
                                          "--port=53",
                                          "--local=/test/",
                                          "--log-facility=-"};
    for (const Srv& srv : services) {
        arguments.push_back("--srv-host=" + srv.Name);
        if (!srv.Target.empty()) {
            arguments.back() += "," + srv.Target + "," + std::to_string(srv.Port) + "," +
                                std::to_string(srv.Priority) + "," + std::to_string(srv.Weight);
        }
    }
    for (const Address& address : addresses) {
        arguments.push_back("--host-record=" + address.Name + "," + address.IPv4);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    const pid_t parent = ::getpid();
    FPid = ::fork();
    if (FPid == 0) {
        // Only async-signal-safe calls from here to exec.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        const int quiet = ::open("/dev/null", O_RDWR);
        if (::getppid() != parent || quiet < 0) {
            ::_exit(126);
        }
        ::dup2(quiet, 0);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        ::execv(Binary, argv.data());
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    while (FPid > 0 && std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(FPid, &status, WNOHANG) == FPid) {
            FPid = -1;
        } else if (PortTaken()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Stop();
    throw std::runtime_error("DnsServer: dnsmasq did not start");
}

DnsServer::~DnsServer() {
    Stop();
}

void DnsServer::Stop() {
    if (FPid > 0) {
        ::kill(FPid, SIGKILL);
        int status = 0;
        while (::waitpid(FPid, &status, 0) < 0 && errno == EINTR) {
        }
        FPid = -1;
    }
}
