#pragma once

// A small web server for tests on a free loopback port: over TLS with the certificate and key
// given (see TestCertificates.h), or in plain HTTP without them. For each request it sends the
// reply set for the request's target (path and query) as exact bytes, or a 404; then it closes
// the connection. It records every target asked for and counts the connections it accepted, so a
// test can also prove that nobody connected. One connection at a time, on a thread of its own.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackListener.h"

class WebServer {
public:
    // Plain HTTP.
    WebServer();
    // HTTPS with this certificate chain and key (PEM files).
    WebServer(const std::string& certificateFile, const std::string& keyFile);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int Port() const { return FListener.Port(); }
    void Serve(const std::string& target, std::string reply);
    // "HTTP/1.1 200 OK", Content-Length, the body.
    static std::string Ok(const std::string& body);
    static std::string Redirect(const std::string& location);

    std::vector<std::string> Requests() const;
    int Connections() const { return FConnections.load(); }

private:
    struct Tls;

    void Run();
    void Handle(int connection);

    LoopbackListener FListener;
    std::unique_ptr<Tls> FTls;
    mutable std::mutex FLock;
    std::map<std::string, std::string> FReplies;
    std::vector<std::string> FRequests;
    std::atomic<int> FConnections{0};
    std::atomic<int> FCurrent{-1};
    std::thread FThread;
};
