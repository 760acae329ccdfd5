#include "WebServer.h"

#include <csignal>
#include <stdexcept>

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

struct WebServer::Tls {
    SSL_CTX* Context = nullptr;
    ~Tls() { SSL_CTX_free(Context); }
};

WebServer::WebServer() : FListener("WebServer", 8) {
    // A client that gives up mid-reply must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    FThread = std::thread([this] { Run(); });
}

WebServer::WebServer(const std::string& certificateFile, const std::string& keyFile)
    : FListener("WebServer", 8), FTls(std::make_unique<Tls>()) {
    std::signal(SIGPIPE, SIG_IGN);
    FTls->Context = SSL_CTX_new(TLS_server_method());
    if (FTls->Context == nullptr ||
        SSL_CTX_use_certificate_chain_file(FTls->Context, certificateFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(FTls->Context, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        throw std::runtime_error("WebServer: cannot load " + certificateFile);
    }
    FThread = std::thread([this] { Run(); });
}

WebServer::~WebServer() {
    FListener.Wake();
    const int current = FCurrent.load();
    if (current >= 0) {
        ::shutdown(current, SHUT_RDWR);
    }
    FThread.join();
}

void WebServer::Serve(const std::string& target, std::string reply) {
    std::lock_guard lock(FLock);
    FReplies[target] = std::move(reply);
}

std::string WebServer::Ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string WebServer::Redirect(const std::string& location) {
    return "HTTP/1.1 302 Found\r\nLocation: " + location + "\r\nContent-Length: 0\r\n\r\n";
}

std::vector<std::string> WebServer::Requests() const {
    std::lock_guard lock(FLock);
    return FRequests;
}

void WebServer::Run() {
    for (;;) {
        pollfd waits[2] = {{FListener.Fd(), POLLIN, 0}, {FListener.StopFd(), POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 || waits[1].revents != 0) {
            return;
        }
        const int connection = ::accept4(FListener.Fd(), nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0) {
            continue;
        }
        ++FConnections;
        // A client that never sends must not hold the server for ever.
        const timeval limit{10, 0};
        ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        FCurrent = connection;
        Handle(connection);
        FCurrent = -1;
        ::close(connection);
    }
}

void WebServer::Handle(int connection) {
    SSL* ssl = nullptr;
    if (FTls) {
        ssl = SSL_new(FTls->Context);
        SSL_set_fd(ssl, connection);
        if (SSL_accept(ssl) != 1) {
            SSL_free(ssl);
            return;
        }
    }
    const auto receive = [&](char* buffer, int size) {
        return ssl ? SSL_read(ssl, buffer, size)
                   : static_cast<int>(
                         ::recv(connection, buffer, static_cast<std::size_t>(size), 0));
    };
    const auto send = [&](const std::string& bytes) {
        for (std::size_t sent = 0; sent < bytes.size();) {
            const int chunk = static_cast<int>(std::min<std::size_t>(bytes.size() - sent, 16384));
            const int result =
                ssl ? SSL_write(ssl, bytes.data() + sent, chunk)
                    : static_cast<int>(::send(connection, bytes.data() + sent,
                                              static_cast<std::size_t>(chunk), MSG_NOSIGNAL));
            if (result <= 0) {
                return;
            }
            sent += static_cast<std::size_t>(result);
        }
    };
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        const int received = receive(buffer, sizeof buffer);
        if (received <= 0) {
            break;
        }
        request.append(buffer, static_cast<std::size_t>(received));
    }
    // "GET /target HTTP/1.1"
    const std::size_t first = request.find(' ');
    const std::size_t second = request.find(' ', first + 1);
    if (first != std::string::npos && second != std::string::npos) {
        const std::string target = request.substr(first + 1, second - first - 1);
        std::string reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        {
            std::lock_guard lock(FLock);
            FRequests.push_back(target);
            if (const auto found = FReplies.find(target); found != FReplies.end()) {
                reply = found->second;
            }
        }
        send(reply);
    }
    if (ssl != nullptr) {
        SSL_shutdown(ssl);
        SSL_free(ssl);
    }
}
