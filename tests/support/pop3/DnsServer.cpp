#include "DnsServer.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int TypeA = 1;
constexpr int TypeSrv = 33;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

void Put16(std::string& out, int value) {
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

void PutName(std::string& out, const std::string& name) {
    std::size_t start = 0;
    while (start < name.size() && name != ".") {
        const std::size_t dot = std::min(name.find('.', start), name.size());
        out += static_cast<char>(dot - start);
        out += name.substr(start, dot - start);
        start = dot + 1;
    }
    out += '\0';
}

} // namespace

DnsServer::DnsServer(bool answer, int port) {
    FSocket = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (FSocket < 0 ||
        ::bind(FSocket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::pipe2(FStopPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("DnsServer: cannot listen on 127.0.0.1:" + std::to_string(port));
    }
    if (answer) {
        FThread = std::thread([this] { Run(); });
    }
}

DnsServer::~DnsServer() {
    const char wake = 1;
    [[maybe_unused]] const ssize_t written = ::write(FStopPipe[1], &wake, 1);
    if (FThread.joinable()) {
        FThread.join();
    }
    ::close(FSocket);
    ::close(FStopPipe[0]);
    ::close(FStopPipe[1]);
}

void DnsServer::AddSrv(const std::string& name, const Srv& record) {
    std::lock_guard lock(FLock);
    FRecords[Lower(name)].Services.push_back(record);
}

void DnsServer::AddAddress(const std::string& name, const std::string& ipv4) {
    std::lock_guard lock(FLock);
    FRecords[Lower(name)].Addresses.push_back(ipv4);
}

void DnsServer::Run() {
    for (;;) {
        pollfd waits[2] = {{FSocket, POLLIN, 0}, {FStopPipe[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0 || waits[1].revents != 0) {
            return;
        }
        char buffer[1500];
        sockaddr_in from{};
        socklen_t length = sizeof from;
        const ssize_t received = ::recvfrom(FSocket, buffer, sizeof buffer, 0,
                                            reinterpret_cast<sockaddr*>(&from), &length);
        if (received <= 0) {
            continue;
        }
        const std::string reply = Answer(std::string(buffer, static_cast<std::size_t>(received)));
        if (!reply.empty()) {
            ::sendto(FSocket, reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
                     length);
            ++FAnswered;
        }
    }
}

std::string DnsServer::Answer(const std::string& query) {
    // Header (12 bytes), then one question: labels, type, class.
    if (query.size() < 17) {
        return {};
    }
    std::string name;
    std::size_t at = 12;
    while (at < query.size() && query[at] != '\0') {
        const std::size_t label = static_cast<unsigned char>(query[at]);
        if (label > 63 || at + 1 + label >= query.size()) {
            return {};
        }
        name += (name.empty() ? "" : ".") + query.substr(at + 1, label);
        at += 1 + label;
    }
    if (at + 5 > query.size()) {
        return {};
    }
    const std::string question = query.substr(12, at + 5 - 12);
    const int type = (static_cast<unsigned char>(query[at + 1]) << 8) |
                     static_cast<unsigned char>(query[at + 2]);

    std::vector<std::string> answers;
    bool known = false;
    {
        std::lock_guard lock(FLock);
        const auto found = FRecords.find(Lower(name));
        known = found != FRecords.end();
        if (known && type == TypeSrv) {
            for (const Srv& srv : found->second.Services) {
                std::string data;
                Put16(data, srv.Priority);
                Put16(data, srv.Weight);
                Put16(data, srv.Port);
                PutName(data, srv.Target);
                answers.push_back(data);
            }
        } else if (known && type == TypeA) {
            for (const std::string& text : found->second.Addresses) {
                in_addr address{};
                ::inet_pton(AF_INET, text.c_str(), &address);
                answers.emplace_back(reinterpret_cast<const char*>(&address), 4);
            }
        }
    }
    std::string reply = query.substr(0, 2); // the query's ID
    Put16(reply, 0x8180 | (known ? 0 : 3)); // a response, recursion available; NXDOMAIN
    Put16(reply, 1);
    Put16(reply, static_cast<int>(answers.size()));
    Put16(reply, 0);
    Put16(reply, 0);
    reply += question;
    for (const std::string& data : answers) {
        Put16(reply, 0xC00C); // the name: a pointer to the question's
        Put16(reply, type);
        Put16(reply, 1); // class IN
        Put16(reply, 0);
        Put16(reply, 60); // TTL
        Put16(reply, static_cast<int>(data.size()));
        reply += data;
    }
    return reply;
}
