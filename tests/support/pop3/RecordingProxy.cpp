#include "RecordingProxy.h"

#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

RecordingProxy::RecordingProxy(const std::string& targetAddress, int targetPort)
    : FTargetAddress(targetAddress), FTargetPort(targetPort), FListener("RecordingProxy", 4) {
    FThread = std::thread([this] { Run(); });
}

RecordingProxy::~RecordingProxy() {
    Stop();
}

void RecordingProxy::Stop() {
    if (FThread.joinable()) {
        FListener.Wake();
        FThread.join();
    }
}

std::string RecordingProxy::ClientBytes() const {
    std::lock_guard lock(FLock);
    return FClientBytes;
}

void RecordingProxy::Run() {
    for (;;) {
        pollfd waits[2] = {{FListener.Fd(), POLLIN, 0}, {FListener.StopFd(), POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 || waits[1].revents != 0) {
            return;
        }
        const int client = ::accept4(FListener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (client >= 0) {
            Relay(client);
            ::close(client);
        }
    }
}

void RecordingProxy::Relay(int client) {
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(FTargetPort));
    ::inet_pton(AF_INET, FTargetAddress.c_str(), &address.sin_addr);
    if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(server);
        return;
    }
    char buffer[16384];
    for (;;) {
        pollfd waits[3] = {
            {client, POLLIN, 0}, {server, POLLIN, 0}, {FListener.StopFd(), POLLIN, 0}};
        if (::poll(waits, 3, -1) < 0 || waits[2].revents != 0) {
            break;
        }
        if (waits[0].revents != 0) {
            const ssize_t count = ::recv(client, buffer, sizeof buffer, 0);
            if (count <= 0) {
                break;
            }
            {
                std::lock_guard lock(FLock);
                FClientBytes.append(buffer, static_cast<std::size_t>(count));
            }
            ::send(server, buffer, static_cast<std::size_t>(count), MSG_NOSIGNAL);
        }
        if (waits[1].revents != 0) {
            const ssize_t count = ::recv(server, buffer, sizeof buffer, 0);
            if (count <= 0) {
                break;
            }
            ::send(client, buffer, static_cast<std::size_t>(count), MSG_NOSIGNAL);
        }
    }
    ::close(server);
}
