#pragma once

// A small HTTPS server for tests on a free loopback port, with the certificate and key given (see
// TestCertificates.h). For each request it sends the reply set for the request's target (path
// and query) as exact bytes, or a 404, and closes the connection; it records every target asked
// for. One connection at a time, on a thread of its own.

#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LoopbackListener.h"

typedef struct ssl_ctx_st SSL_CTX;

class WebServer {
public:
    WebServer(const std::string& certificateFile, const std::string& keyFile);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int Port() const { return FListener.Port(); }
    void Serve(const std::string& target, std::string reply);
    // "HTTP/1.1 200 OK", a Content-Length, the body.
    static std::string Ok(const std::string& body);
    static std::string Redirect(const std::string& location);

    std::vector<std::string> Requests() const;

private:
    void Run();
    void Handle(int connection);

    LoopbackListener FListener;
    SSL_CTX* FContext = nullptr;
    mutable std::mutex FLock;
    std::map<std::string, std::string> FReplies;
    std::vector<std::string> FRequests;
    std::thread FThread;
};
