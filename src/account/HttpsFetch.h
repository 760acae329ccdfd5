#pragma once

// THttpsFetch: fetches one small file over HTTPS with a GET request (HTTP/1.1), on the same
// transport, TLS module and certificate rule as the mail connections: the server's certificate
// must verify for the host name in the URL against the system's trust store (SSL_CERT_FILE is
// honoured).
//
// Only https:// URLs are fetched, never plain HTTP, also not when a redirect points there: such a
// redirect ends the fetch. At most MaxRedirects redirects are followed. The body may come with a
// Content-Length, in chunks, or up to the server's close, and may be at most MaxBodySize bytes;
// header lines are capped at 8 KiB and 100 lines.
//
// Fetch() runs on the calling thread and throws EHttpsFetchError (a status other than 200, a
// malformed reply, a body too large, a refused redirect or URL) or the transport's exceptions
// (EWinshoeSocketError, EWinshoeCertificateError, EWinshoeTLSError, ...). It has no time-out
// of its own: Abandon() from any thread ends it at once, in any phase, and makes every later
// Fetch() fail.

#include <atomic>
#include <string>

#include "pop3/WinshoeClient.h"
#include "pop3/WinshoeExceptions.h"

class EHttpsFetchError : public EWinshoeRaisable<EHttpsFetchError> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
};

class THttpsFetch : public TWinshoeClient {
public:
    static constexpr std::size_t DefaultMaxBodySize = 256 * 1024;
    static constexpr int MaxRedirects = 3;

    THttpsFetch();

    std::string Fetch(const std::string& url);
    // Any thread.
    void Abandon();

    void SetMaxBodySize(std::size_t size) { FMaxBodySize = size; }
    // Connects to this port whatever the URL says (tests; 0 uses the URL's port).
    void SetPortOverride(int port) { FPortOverride = port; }

protected:
    void CreateSocket() override;

private:
    struct TReply {
        int Status = 0;
        std::string Location;
        std::string Body;
    };

    TReply FetchOnce(const std::string& host, int port, const std::string& target);
    std::string ReadBody(long long contentLength, bool chunked);
    void ReadExactly(std::size_t count, std::string& into);
    std::string ReadHeaderLine(int& lines);

    std::atomic<bool> FAbandoned{false};
    std::size_t FMaxBodySize = DefaultMaxBodySize;
    int FPortOverride = 0;
};

// Splits an https:// URL into host, port (443 unless given) and the request target (path and
// query, "/" when empty). False for any other scheme, user information, or characters that have
// no place in a request line.
bool SplitHttpsUrl(const std::string& url, std::string& host, int& port, std::string& target);
