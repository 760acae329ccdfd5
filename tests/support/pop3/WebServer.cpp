#include "WebServer.h"

#include <csignal>
#include <stdexcept>

#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

WebServer::WebServer(const std::string& certificateFile, const std::string& keyFile)
    : FListener("WebServer", 8), FContext(SSL_CTX_new(TLS_server_method())) {
    // A client that gives up mid-reply must not end the test process.
    std::signal(SIGPIPE, SIG_IGN);
    if (FContext == nullptr ||
        SSL_CTX_use_certificate_chain_file(FContext, certificateFile.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(FContext, keyFile.c_str(), SSL_FILETYPE_PEM) != 1) {
        SSL_CTX_free(FContext);
        throw std::runtime_error("WebServer: cannot load " + certificateFile);
    }
    FThread = std::thread([this] { Run(); });
}

WebServer::~WebServer() {
    FListener.Wake();
    FThread.join();
    SSL_CTX_free(FContext);
}

void WebServer::Serve(const std::string& target, std::string reply) {
    std::lock_guard lock(FLock);
    FReplies[target] = std::move(reply);
}

std::string WebServer::Ok(const std::string& body) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
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
        if (connection >= 0) {
            // A client that never sends must not hold the server for long.
            const timeval limit{5, 0};
            ::setsockopt(connection, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
            Handle(connection);
            ::close(connection);
        }
    }
}

void WebServer::Handle(int connection) {
    SSL* ssl = SSL_new(FContext);
    SSL_set_fd(ssl, connection);
    std::string request;
    char buffer[4096];
    int received = SSL_accept(ssl) == 1 ? 1 : 0;
    while (received > 0 && request.find("\r\n\r\n") == std::string::npos) {
        received = SSL_read(ssl, buffer, sizeof buffer);
        request.append(buffer, static_cast<std::size_t>(std::max(received, 0)));
    }
    // "GET /target HTTP/1.1"
    const std::size_t first = request.find(' ');
    const std::size_t second = request.find(' ', first + 1);
    if (received > 0 && second != std::string::npos) {
        const std::string target = request.substr(first + 1, second - first - 1);
        std::string reply = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n";
        {
            std::lock_guard lock(FLock);
            FRequests.push_back(target);
            if (const auto found = FReplies.find(target); found != FReplies.end()) {
                reply = found->second;
            }
        }
        for (std::size_t sent = 0; sent < reply.size();) {
            const int chunk =
                SSL_write(ssl, reply.data() + sent,
                          static_cast<int>(std::min<std::size_t>(reply.size() - sent, 16384)));
            if (chunk <= 0) {
                break;
            }
            sent += static_cast<std::size_t>(chunk);
        }
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
}
