#include "account/HttpsFetch.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include <QString>

#include "account/AccountSettings.h"

namespace {

constexpr int MaxHeaderLines = 100;
constexpr int MaxHeaderLineLength = 8 * 1024;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string TrimBlanks(std::string_view text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(begin, text.find_last_not_of(" \t") - begin + 1));
}

bool ParseNumber(std::string_view text, long long& value, int base = 10) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return !text.empty() && error == std::errc() && end == text.data() + text.size() && value >= 0;
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// The Location of a redirect as an absolute URL; relative forms are taken against the URL that
// was fetched.
std::string ResolveLocation(const std::string& location, const std::string& host, int port,
                            const std::string& target) {
    if (location.find("://") != std::string::npos) {
        return location;
    }
    const std::string origin = "https://" + host + ":" + std::to_string(port);
    if (location.starts_with("//")) {
        return "https:" + location;
    }
    if (location.starts_with("/")) {
        return origin + location;
    }
    const std::string path = target.substr(0, target.find('?'));
    return origin + path.substr(0, path.rfind('/') + 1) + location;
}

} // namespace

bool SplitHttpsUrl(const std::string& url, std::string& host, int& port, std::string& target) {
    static constexpr std::string_view Scheme = "https://";
    if (!StartsWithNoCase(url, Scheme)) {
        return false;
    }
    const std::string rest = url.substr(Scheme.size());
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string authority = rest.substr(0, authorityEnd);
    target = rest.substr(authorityEnd);
    target = target.substr(0, target.find('#'));
    if (target.empty() || target.front() == '?') {
        target.insert(0, "/");
    }
    if (std::any_of(target.begin(), target.end(),
                    [](unsigned char c) { return c <= ' ' || c >= 0x7F; }) ||
        authority.find('@') != std::string::npos) {
        return false;
    }
    const std::size_t bracket = authority.rfind(']');
    const std::size_t colon = authority.rfind(':');
    port = 443;
    host = authority;
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        long long value = 0;
        if (!ParseNumber(std::string_view(authority).substr(colon + 1), value) || value < 1 ||
            value > 65535) {
            return false;
        }
        port = static_cast<int>(value);
        host = authority.substr(0, colon);
    }
    host = Lower(host);
    return !host.empty() && IsHostName(QString::fromStdString(host));
}

THttpsFetch::THttpsFetch() {
    SetMaxLineLength(MaxHeaderLineLength);
}

void THttpsFetch::CreateSocket() {
    TWinshoeClient::CreateSocket();
    // Abandon() may have closed the connection just before this one was opened.
    if (FAbandoned.load()) {
        CloseSocket();
    }
}

void THttpsFetch::Abandon() {
    FAbandoned.store(true);
    CloseSocket();
}

std::string THttpsFetch::Fetch(const std::string& url) {
    std::string current = url;
    for (int redirects = 0;; ++redirects) {
        std::string host;
        std::string target;
        int port = 443;
        if (!SplitHttpsUrl(current, host, port, target)) {
            throw EHttpsFetchError("Only secure (https://) addresses are fetched, not " +
                                   current.substr(0, 200));
        }
        TReply reply = FetchOnce(host, port, target);
        if (reply.Status == 200) {
            return std::move(reply.Body);
        }
        if (!IsRedirect(reply.Status) || reply.Location.empty()) {
            throw EHttpsFetchError("The web server answered " + std::to_string(reply.Status));
        }
        if (redirects == MaxRedirects) {
            throw EHttpsFetchError("The web server redirected too often");
        }
        current = ResolveLocation(reply.Location, host, port, target);
    }
}

THttpsFetch::TReply THttpsFetch::FetchOnce(const std::string& host, int port,
                                           const std::string& target) {
    if (FAbandoned.load()) {
        throw EWinshoeSocketError(WSAEINTR);
    }
    SetHost(host);
    SetPort(FPortOverride > 0 ? FPortOverride : port);
    SetSecurity(TWinshoeSecurity::SSLTLS);
    Connect();
    struct TDisconnect {
        THttpsFetch& Client;
        ~TDisconnect() { Client.Disconnect(); }
    } disconnect{*this};

    const std::string authority = port == 443 ? host : host + ":" + std::to_string(port);
    WriteText("GET " + target + " HTTP/1.1\r\nHost: " + authority +
              "\r\nUser-Agent: Talvoro/1.0\r\nAccept: application/xml, text/xml, */*\r\n"
              "Connection: close\r\n\r\n");

    TReply reply;
    int lines = 0;
    long long contentLength = -1;
    bool chunked = false;
    // Interim replies (1xx) come before the real one.
    do {
        const std::string status = ReadHeaderLine(lines);
        long long code = 0;
        if (!StartsWithNoCase(status, "HTTP/1.") || status.size() < 12 || status[8] != ' ' ||
            !ParseNumber(std::string_view(status).substr(9, 3), code)) {
            throw EHttpsFetchError("The web server's reply is not HTTP");
        }
        reply.Status = static_cast<int>(code);
        for (std::string line = ReadHeaderLine(lines); !line.empty();
             line = ReadHeaderLine(lines)) {
            const std::size_t colon = line.find(':');
            if (colon == std::string::npos) {
                throw EHttpsFetchError("The web server sent a malformed header");
            }
            const std::string name = Lower(TrimBlanks(std::string_view(line).substr(0, colon)));
            const std::string value = TrimBlanks(std::string_view(line).substr(colon + 1));
            long long length = 0;
            if (name == "content-length") {
                if (!ParseNumber(value, length) ||
                    (contentLength >= 0 && length != contentLength)) {
                    throw EHttpsFetchError("The web server sent a malformed length");
                }
                contentLength = length;
            } else if (name == "transfer-encoding") {
                chunked = Lower(value) == "chunked";
                if (!chunked) {
                    throw EHttpsFetchError("The web server sent an encoding it was not asked for");
                }
            } else if (name == "location") {
                reply.Location = value;
            }
        }
    } while (reply.Status >= 100 && reply.Status < 200);

    if (reply.Status == 200) {
        reply.Body = ReadBody(chunked ? -1 : contentLength, chunked);
    }
    return reply;
}

std::string THttpsFetch::ReadHeaderLine(int& lines) {
    if (++lines > MaxHeaderLines) {
        throw EHttpsFetchError("The web server sent too many header lines");
    }
    return ReadLine();
}

void THttpsFetch::ReadExactly(std::size_t count, std::string& into) {
    while (count > 0) {
        const std::string part = ReadAvailable(count);
        into += part;
        count -= part.size();
    }
}

std::string THttpsFetch::ReadBody(long long contentLength, bool chunked) {
    const auto tooLarge = [this] {
        return EHttpsFetchError("The file is larger than " + std::to_string(FMaxBodySize / 1024) +
                                " KiB");
    };
    std::string body;
    if (chunked) {
        int lines = 0;
        for (;;) {
            // Each chunk brings at least one byte, so the body's cap bounds their number.
            const std::string line = ReadLine();
            long long size = 0;
            if (!ParseNumber(TrimBlanks(line.substr(0, line.find(';'))), size, 16)) {
                throw EHttpsFetchError("The web server sent a malformed chunk");
            }
            if (size == 0) {
                while (!ReadHeaderLine(lines).empty()) {
                }
                return body;
            }
            if (static_cast<unsigned long long>(size) > FMaxBodySize - body.size()) {
                throw tooLarge();
            }
            ReadExactly(static_cast<std::size_t>(size), body);
            if (!ReadLine().empty()) {
                throw EHttpsFetchError("The web server sent a malformed chunk");
            }
        }
    }
    if (contentLength >= 0) {
        if (static_cast<unsigned long long>(contentLength) > FMaxBodySize) {
            throw tooLarge();
        }
        ReadExactly(static_cast<std::size_t>(contentLength), body);
        return body;
    }
    // Neither: the body ends where the server closes the connection.
    try {
        for (;;) {
            body += ReadAvailable(FMaxBodySize + 1 - body.size());
            if (body.size() > FMaxBodySize) {
                throw tooLarge();
            }
        }
    } catch (const EWinshoeConnClosedGraceful&) {
    }
    return body;
}
