#include "LoopbackListener.h"

#include <stdexcept>
#include <string>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

LoopbackListener::LoopbackListener(const char* owner, int backlog) {
    if (::pipe2(FStopPipe, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string(owner) + ": pipe failed");
    FListener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    ::setsockopt(FListener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(FListener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FListener, backlog) != 0 ||
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(FListener);
        ::close(FStopPipe[0]);
        ::close(FStopPipe[1]);
        throw std::runtime_error(std::string(owner) + ": cannot listen on loopback");
    }
    FPort = ntohs(address.sin_port);
}

LoopbackListener::~LoopbackListener() {
    ::close(FListener);
    ::close(FStopPipe[0]);
    ::close(FStopPipe[1]);
}

void LoopbackListener::Wake() const {
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(FStopPipe[1], &wake, 1);
}
