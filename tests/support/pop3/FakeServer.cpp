#include "FakeServer.h"

#include <cerrno>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

FakeServer::FakeServer(const std::string& address) {
    if (::pipe2(FStopPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("FakeServer: pipe failed");
    }
    sockaddr_storage bound{};
    socklen_t length = 0;
    auto* ipv4 = reinterpret_cast<sockaddr_in*>(&bound);
    auto* ipv6 = reinterpret_cast<sockaddr_in6*>(&bound);
    if (::inet_pton(AF_INET, address.c_str(), &ipv4->sin_addr) == 1) {
        ipv4->sin_family = AF_INET;
        length = sizeof(sockaddr_in);
    } else if (::inet_pton(AF_INET6, address.c_str(), &ipv6->sin6_addr) == 1) {
        ipv6->sin6_family = AF_INET6;
        length = sizeof(sockaddr_in6);
    } else {
        throw std::runtime_error("FakeServer: not an address: " + address);
    }
    FListener = ::socket(bound.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int reuse = 1;
    ::setsockopt(FListener, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    if (::bind(FListener, reinterpret_cast<sockaddr*>(&bound), length) != 0 ||
        ::listen(FListener, 16) != 0 ||
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&bound), &length) != 0) {
        ::close(FListener);
        ::close(FStopPipe[0]);
        ::close(FStopPipe[1]);
        throw std::runtime_error("FakeServer: cannot listen on " + address);
    }
    FPort = ntohs(bound.ss_family == AF_INET6 ? ipv6->sin6_port : ipv4->sin_port);
    FThread = std::thread([this] { Run(); });
}

FakeServer::~FakeServer() {
    Stop();
    ::close(FListener);
    ::close(FStopPipe[0]);
    ::close(FStopPipe[1]);
}

void FakeServer::Stop() {
    if (FThread.joinable()) {
        const char wake = 1;
        [[maybe_unused]] const ssize_t written = ::write(FStopPipe[1], &wake, 1);
        FThread.join();
    }
}

void FakeServer::AddConnection(Script script) {
    std::lock_guard lock(FLock);
    FScripts.push_back(std::move(script));
}

std::vector<std::string> FakeServer::Received() const {
    std::lock_guard lock(FLock);
    return FReceived;
}

std::vector<std::string> FakeServer::Mismatches() const {
    std::lock_guard lock(FLock);
    return FMismatches;
}

int FakeServer::ConnectionsFinished() const {
    std::lock_guard lock(FLock);
    return FFinished;
}

bool FakeServer::WaitForConnections(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FFinished >= count; });
}

void FakeServer::Record(const std::string& line) {
    std::lock_guard lock(FLock);
    FReceived.push_back(line);
}

void FakeServer::Mismatch(const std::string& text) {
    std::lock_guard lock(FLock);
    FMismatches.push_back(text);
}

bool FakeServer::WaitFor(int fd, short events, int timeoutMillis) {
    pollfd fds[2] = {{FStopPipe[0], POLLIN, 0}, {fd, events, 0}};
    for (;;) {
        const int ready = ::poll(fds, fd >= 0 ? 2 : 1, timeoutMillis);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready > 0 && (fds[0].revents & POLLIN) == 0;
    }
}

bool FakeServer::Stopping() {
    pollfd stop = {FStopPipe[0], POLLIN, 0};
    return ::poll(&stop, 1, 0) > 0;
}

bool FakeServer::ReadLine(int connection, std::string& buffer, std::string& line) {
    for (;;) {
        const std::size_t end = buffer.find("\r\n");
        if (end != std::string::npos) {
            line = buffer.substr(0, end);
            buffer.erase(0, end + 2);
            return true;
        }
        if (!WaitFor(connection, POLLIN)) {
            return false;
        }
        char chunk[4096];
        const ssize_t received = ::recv(connection, chunk, sizeof chunk, 0);
        if (received <= 0) {
            return false;
        }
        buffer.append(chunk, static_cast<std::size_t>(received));
    }
}

void FakeServer::Run() {
    for (;;) {
        if (!WaitFor(FListener, POLLIN)) {
            return;
        }
        const int connection = ::accept4(FListener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        // Each scripted send goes out as it is, so that pauses really split the data.
        const int noDelay = 1;
        ::setsockopt(connection, IPPROTO_TCP, 1 /* TCP_NODELAY */, &noDelay, sizeof noDelay);
        Script script;
        bool scripted = false;
        {
            std::lock_guard lock(FLock);
            if (!FScripts.empty()) {
                script = std::move(FScripts.front());
                FScripts.pop_front();
                scripted = true;
            }
        }
        if (scripted) {
            Play(connection, script);
        }
        ::close(connection);
        {
            std::lock_guard lock(FLock);
            ++FFinished;
        }
        FChanged.notify_all();
    }
}

void FakeServer::Play(int connection, const Script& script) {
    std::string buffer;
    for (const Step& step : script) {
        switch (step.Kind) {
        case Step::TKind::Send: {
            std::size_t sent = 0;
            while (sent < step.Text.size()) {
                const ssize_t result = ::send(connection, step.Text.data() + sent,
                                              step.Text.size() - sent, MSG_NOSIGNAL);
                if (result <= 0) {
                    return;
                }
                sent += static_cast<std::size_t>(result);
            }
            break;
        }
        case Step::TKind::Expect: {
            std::string line;
            if (!ReadLine(connection, buffer, line)) {
                Mismatch("connection ended while expecting \"" + step.Text + "\"");
                return;
            }
            Record(line);
            if (line != step.Text) {
                Mismatch("expected \"" + step.Text + "\", received \"" + line + "\"");
            }
            break;
        }
        case Step::TKind::AwaitBytes: {
            char chunk[4096];
            if (buffer.empty() &&
                (!WaitFor(connection, POLLIN) || ::recv(connection, chunk, sizeof chunk, 0) <= 0)) {
                Mismatch("connection ended while awaiting bytes");
                return;
            }
            buffer.clear();
            break;
        }
        case Step::TKind::Pause:
            WaitFor(-1, 0, step.Millis);
            if (Stopping()) {
                return;
            }
            break;
        case Step::TKind::Close:
            return;
        case Step::TKind::Reset: {
            const linger abort{1, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return;
        }
        case Step::TKind::Hang:
            // Wakes only when the client goes away (or at Stop), leaving its data unread.
            WaitFor(connection, POLLRDHUP);
            return;
        case Step::TKind::SendEndless: {
            std::string chunk;
            while (chunk.size() < 64 * 1024) {
                chunk += step.Text;
            }
            for (;;) {
                if (!WaitFor(connection, POLLOUT)) {
                    return;
                }
                if (::send(connection, chunk.data(), chunk.size(), MSG_NOSIGNAL) <= 0) {
                    return;
                }
            }
        }
        }
    }
    Drain(connection, buffer);
}

void FakeServer::Drain(int connection, std::string& buffer) {
    std::string line;
    while (ReadLine(connection, buffer, line)) {
        Record(line);
    }
}
