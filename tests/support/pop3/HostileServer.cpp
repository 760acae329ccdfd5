#include "HostileServer.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

// One client, served on its own thread; every wait also ends when the server stops.
class HostileServer::TConnection {
public:
    TConnection(int fd, int stopFd) : Fd(fd), StopFd(stopFd) {}

    // True when the socket is ready; false when the server stops, the time runs out or the
    // socket fails.
    bool WaitFor(short events, int timeoutMillis = -1) {
        pollfd fds[2] = {{Fd, events, 0}, {StopFd, POLLIN, 0}};
        for (;;) {
            const int ready = ::poll(fds, 2, timeoutMillis);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready <= 0 || (fds[1].revents & POLLIN))
                return false;
            return (fds[0].revents & (events | POLLHUP | POLLERR)) != 0;
        }
    }

    bool Send(std::string_view bytes) {
        while (!bytes.empty()) {
            if (!WaitFor(POLLOUT))
                return false;
            const ssize_t sent = ::send(Fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (sent < 0 && (errno == EINTR || errno == EAGAIN))
                continue;
            if (sent <= 0)
                return false;
            bytes.remove_prefix(std::size_t(sent));
        }
        return true;
    }

    // Waits Millis; false when the server stops or the client has gone away meanwhile.
    bool Pause(int millis) {
        pollfd stop{StopFd, POLLIN, 0};
        if (::poll(&stop, 1, millis) != 0)
            return false;
        char byte;
        const ssize_t peeked = ::recv(Fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        return peeked > 0 || (peeked < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    }

    bool ReadLine(std::string& line) {
        for (;;) {
            if (const auto end = Buffer.find('\n'); end != std::string::npos) {
                line = Buffer.substr(0, end);
                Buffer.erase(0, end + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                return true;
            }
            if (Buffer.size() > 65536 || !WaitFor(POLLIN))
                return false;
            char chunk[4096];
            const ssize_t got = ::recv(Fd, chunk, sizeof chunk, 0);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                return false;
            Buffer.append(chunk, std::size_t(got));
        }
    }

    // Whether the client has sent something not read yet.
    bool HasInput() {
        char byte;
        return !Buffer.empty() || ::recv(Fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) > 0;
    }

    void Reset() {
        const linger hard{1, 0};
        ::setsockopt(Fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    }

private:
    int Fd;
    int StopFd;
    std::string Buffer;
};

HostileServer::TMessage HostileServer::Message(const std::string& from, const std::string& subject,
                                               const std::string& id) {
    return {"From: " + from + "\r\nSubject: " + subject + "\r\nMessage-ID: <" + id +
                "@example.org>\r\n",
            "uid-" + id};
}

HostileServer::HostileServer(TProtocol protocol)
    : FProtocol(protocol), FListener("HostileServer", 16) {
    FAcceptThread = std::thread([this] { Accept(); });
}

HostileServer::~HostileServer() {
    Stop();
}

void HostileServer::Stop() {
    if (!FAcceptThread.joinable())
        return;
    FListener.Wake();
    FAcceptThread.join();
    std::vector<std::thread> serving;
    {
        std::lock_guard lock(FLock);
        serving.swap(FServing);
    }
    for (auto& thread : serving)
        thread.join();
}

void HostileServer::SetMailbox(std::vector<TMessage> messages) {
    std::lock_guard lock(FLock);
    FMailbox = std::move(messages);
}

void HostileServer::AddMessage(TMessage message) {
    std::lock_guard lock(FLock);
    FMailbox.push_back(std::move(message));
}

void HostileServer::Attack(TStep step, TAttack attack, std::string reply, int connections) {
    std::lock_guard lock(FLock);
    for (int i = 0; i < connections; ++i)
        FPlans.push_back({step, attack, reply});
}

std::vector<std::string> HostileServer::Commands() const {
    std::lock_guard lock(FLock);
    return FCommands;
}

int HostileServer::Connections() const {
    std::lock_guard lock(FLock);
    return FAccepted;
}

bool HostileServer::WaitForFinished(int count, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(FLock);
    return FChanged.wait_for(lock, timeout, [&] { return FFinished >= count; });
}

void HostileServer::Record(const std::string& line) {
    std::lock_guard lock(FLock);
    FCommands.push_back(line);
}

void HostileServer::Accept() {
    for (;;) {
        pollfd fds[2] = {{FListener.Fd(), POLLIN, 0}, {FListener.StopFd(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents & POLLIN)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const int fd = ::accept4(FListener.Fd(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            continue;
        std::lock_guard lock(FLock);
        TPlan plan;
        if (!FPlans.empty()) {
            plan = FPlans.front();
            FPlans.erase(FPlans.begin());
        }
        ++FAccepted;
        FServing.emplace_back([this, fd, plan] {
            Serve(fd, plan);
            ::close(fd);
            std::lock_guard finished(FLock);
            ++FFinished;
            FChanged.notify_all();
        });
    }
}

void HostileServer::Serve(int fd, TPlan plan) {
    TConnection client(fd, FListener.StopFd());
    if (FProtocol == TProtocol::Imap) {
        ServeImap(client, plan);
        return;
    }

    // Sends the normal answer of a step, or the attack planned for it; false when the
    // connection is over.
    auto answer = [&](TStep step, const std::string& normal, bool multiLine) {
        if (plan.Step != step || plan.Attack == TAttack::None)
            return client.Send(normal);
        switch (plan.Attack) {
        case TAttack::None:
            break;
        case TAttack::EndlessLine: {
            const std::string chunk(65536, 'x');
            if (client.Send("+OK "))
                while (client.Send(chunk)) {
                }
            return false;
        }
        case TAttack::Drip:
            for (char byte : normal)
                if (!client.Send(std::string_view(&byte, 1)) || !client.Pause(1000))
                    return false;
            return true;
        case TAttack::Close:
            return false;
        case TAttack::Reset:
            client.Reset();
            return false;
        case TAttack::EndlessReply: {
            if (!client.Send(multiLine ? "+OK\r\n" : "+OK-\r\n"))
                return false;
            for (long n = 1;; ++n) {
                const std::string line = step == TStep::Top
                                             ? "X-Filler-" + std::to_string(n) + ": more\r\n"
                                         : multiLine ? std::to_string(n) + " uid-filler\r\n"
                                                     : "+OK-" + std::string(60, 'c') + "\r\n";
                if (!client.Send(line))
                    return false;
            }
        }
        case TAttack::Reply:
            return client.Send(plan.Reply);
        default: // IMAP's attacks
            return client.Send(normal);
        }
        return false;
    };

    auto mailbox = [this] {
        std::lock_guard lock(FLock);
        return FMailbox;
    };

    if (!answer(TStep::Greeting, "+OK Hostile POP3 server ready.\r\n", false))
        return;
    std::string line;
    while (client.ReadLine(line)) {
        Record(line);
        std::string command = line.substr(0, line.find(' '));
        std::transform(command.begin(), command.end(), command.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
        const std::string argument =
            line.find(' ') == std::string::npos ? std::string() : line.substr(line.find(' ') + 1);
        const auto messages = mailbox();
        auto numbered = [&](const std::string& text, int& n) {
            n = std::atoi(text.c_str());
            return n >= 1 && std::size_t(n) <= messages.size();
        };
        bool goOn = true;
        if (command == "USER") {
            goOn = answer(TStep::User, "+OK\r\n", false);
        } else if (command == "PASS") {
            goOn = answer(TStep::Pass, "+OK Logged in.\r\n", false);
        } else if (command == "STAT") {
            std::size_t size = 0;
            for (const auto& message : messages)
                size += message.Headers.size() + 2;
            goOn = answer(TStep::Stat,
                          "+OK " + std::to_string(messages.size()) + " " + std::to_string(size) +
                              "\r\n",
                          false);
        } else if (command == "UIDL" || command == "LIST") {
            auto item = [&](std::size_t i) {
                return std::to_string(i + 1) + " " +
                       (command == "UIDL" ? messages[i].Uid
                                          : std::to_string(messages[i].Headers.size() + 2));
            };
            int n = 0;
            if (argument.empty()) {
                std::string listing = "+OK\r\n";
                for (std::size_t i = 0; i < messages.size(); ++i)
                    listing += item(i) + "\r\n";
                goOn = answer(TStep::Uidl, listing + ".\r\n", true);
            } else if (numbered(argument, n)) {
                goOn = answer(TStep::Uidl, "+OK " + item(std::size_t(n - 1)) + "\r\n", false);
            } else {
                goOn = client.Send("-ERR There's no message " + argument + ".\r\n");
            }
        } else if (command == "TOP") {
            int n = 0;
            if (numbered(argument.substr(0, argument.find(' ')), n)) {
                std::string reply = "+OK\r\n";
                const std::string& headers = messages[std::size_t(n - 1)].Headers;
                for (std::size_t at = 0; at < headers.size();) {
                    const std::size_t end = headers.find("\r\n", at);
                    const std::string header = headers.substr(at, end - at);
                    reply += (header.starts_with('.') ? "." : "") + header + "\r\n";
                    at = end == std::string::npos ? headers.size() : end + 2;
                }
                goOn = answer(TStep::Top, reply + "\r\n.\r\n", true);
            } else {
                goOn = client.Send("-ERR There's no message " + argument + ".\r\n");
            }
        } else if (command == "QUIT") {
            answer(TStep::Quit, "+OK Logging out.\r\n", false);
            return;
        } else if (command == "CAPA") {
            goOn = client.Send("+OK\r\nTOP\r\nUIDL\r\nUSER\r\n.\r\n");
        } else if (command == "NOOP") {
            goOn = client.Send("+OK\r\n");
        } else {
            goOn = client.Send("-ERR Unknown command.\r\n");
        }
        if (!goOn)
            return;
    }
}

void HostileServer::ServeImap(TConnection& client, const TPlan& plan) {
    const std::string fetched = "* 1 FETCH (UID 1 BODY[HEADER.FIELDS (FROM SUBJECT MESSAGE-ID)] ";
    // The normal answer of a step, or the attack planned for it; false when the connection is
    // over.
    auto answer = [&](TStep step, const std::string& normal) {
        if (plan.Step != step || plan.Attack == TAttack::None || plan.Attack == TAttack::Flood)
            return client.Send(normal);
        switch (plan.Attack) {
        case TAttack::EndlessLiteral: {
            const std::string literal = "{1000}\r\n" + std::string(1000, 'x') + " ";
            if (client.Send(fetched))
                while (client.Send(literal)) {
                }
            return false;
        }
        case TAttack::HugeLiteral:
            if (client.Send(fetched + "{9223372036854775808}\r\n"))
                while (client.Pause(1000)) {
                }
            return false;
        case TAttack::Bye:
            client.Send(normal.substr(0, normal.find('\n') + 1) + "* BYE Server shutting down\r\n");
            return false;
        case TAttack::Silence:
            while (client.Pause(1000)) {
            }
            return false;
        case TAttack::Close:
            return false;
        case TAttack::Reply:
            return client.Send(plan.Reply);
        default:
            return client.Send(normal);
        }
    };
    auto mailbox = [this] {
        std::lock_guard lock(FLock);
        return FMailbox;
    };
    const std::string capabilities = "* CAPABILITY IMAP4rev1 IDLE\r\n";

    if (!answer(TStep::Greeting, "* OK Hostile IMAP server ready.\r\n"))
        return;
    std::string line;
    while (client.ReadLine(line)) {
        Record(line);
        const std::string tag = line.substr(0, line.find(' '));
        std::string rest = line.size() > tag.size() ? line.substr(tag.size() + 1) : std::string();
        std::string upper = rest;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return char(std::toupper(c)); });
        const std::string ok = tag + " OK Done.\r\n";
        const auto messages = mailbox();
        const std::string count = std::to_string(messages.size());
        bool goOn = true;
        if (upper == "CAPABILITY") {
            goOn = client.Send(capabilities + ok);
        } else if (upper.starts_with("LOGIN ")) {
            goOn = answer(TStep::Login, tag + " OK Logged in.\r\n");
        } else if (upper.starts_with("EXAMINE ")) {
            goOn = answer(TStep::Examine, "* " + count +
                                              " EXISTS\r\n* 0 RECENT\r\n"
                                              "* OK [UIDVALIDITY 1] UIDs valid\r\n"
                                              "* OK [UIDNEXT " +
                                              std::to_string(messages.size() + 1) +
                                              "] Predicted next UID\r\n" + tag +
                                              " OK [READ-ONLY] Examine completed.\r\n");
        } else if (upper.starts_with("UID SEARCH ")) {
            // "UID *" is the highest; "UID n:* UNSEEN" every one from n (all are unseen).
            const std::size_t colon = upper.find(':');
            const std::size_t from = colon == std::string::npos
                                         ? messages.size()
                                         : std::size_t(std::atol(upper.c_str() + 15));
            std::string found = "* SEARCH";
            for (std::size_t uid = std::max<std::size_t>(from, 1); uid <= messages.size(); ++uid)
                found += " " + std::to_string(uid);
            goOn = answer(TStep::Search, found + "\r\n" + ok);
        } else if (upper.starts_with("UID FETCH ")) {
            const std::size_t uid = std::size_t(std::atol(upper.c_str() + 10));
            std::string reply;
            if (uid >= 1 && uid <= messages.size()) {
                const std::string& headers = messages[uid - 1].Headers;
                reply = "* " + std::to_string(uid) + " FETCH (UID " + std::to_string(uid) +
                        " BODY[HEADER.FIELDS (FROM SUBJECT MESSAGE-ID)] {" +
                        std::to_string(headers.size() + 2) + "}\r\n" + headers + "\r\n)\r\n";
            }
            goOn = answer(TStep::Fetch, reply + ok);
        } else if (upper == "IDLE") {
            goOn = answer(TStep::Idle, "+ idling\r\n");
            if (goOn && plan.Step == TStep::Idle && plan.Attack == TAttack::Flood)
                for (int n = 0; goOn && n < 200000; ++n)
                    goOn = client.Send("* " + count + " EXISTS\r\n");
            // Until DONE: messages added meanwhile are reported.
            std::size_t reported = messages.size();
            std::string done;
            while (goOn) {
                if (client.Pause(100)) {
                    const std::size_t now = mailbox().size();
                    if (now != reported)
                        goOn = client.Send("* " + std::to_string(now) + " EXISTS\r\n");
                    reported = now;
                } else
                    goOn = false;
                if (goOn && client.HasInput()) {
                    goOn = client.ReadLine(done) && client.Send(tag + " OK Idle completed.\r\n");
                    break;
                }
            }
        } else if (upper == "LOGOUT") {
            client.Send("* BYE Logging out\r\n" + ok);
            return;
        } else if (upper == "NOOP") {
            goOn = client.Send(ok);
        } else {
            goOn = client.Send(tag + " BAD Not offered here.\r\n");
        }
        if (!goOn)
            return;
    }
}
