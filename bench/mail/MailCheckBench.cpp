// One mail check on a large mailbox: a throw-away Dovecot holding 10,000 messages, the last 3
// of them new since the previous check. Prints the wall time of the check (from the worker's
// creation to the end of CheckMsgThreadDone) and the POP3 commands the client sent, counted
// on the wire by a relay between client and server. Never fails on slowness.
#include "mail/CheckMsgHost.h"
#include "mail/CheckMsgThread.h"
#include "mail/MessageTable.h"
#include "mail/RecentList.h"
#include "mail/SessionInfoRecord.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"

#include "DovecotServer.h"

#include <QCoreApplication>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

// Relays one connection at a time between the client and the server, counting the lines the
// client sends.
class TCountingRelay {
public:
    explicit TCountingRelay(int ServerPort) : FServerPort(ServerPort) {
        FListener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in Address{};
        Address.sin_family = AF_INET;
        Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(FListener, reinterpret_cast<sockaddr*>(&Address), sizeof Address);
        ::listen(FListener, 4);
        socklen_t Length = sizeof Address;
        ::getsockname(FListener, reinterpret_cast<sockaddr*>(&Address), &Length);
        FPort = ntohs(Address.sin_port);
        FThread = std::thread([this] { Run(); });
    }
    ~TCountingRelay() {
        ::shutdown(FListener, SHUT_RDWR);
        ::close(FListener);
        FThread.join();
    }
    int Port() const { return FPort; }
    std::vector<std::string> Commands() {
        std::lock_guard Guard(FLock);
        return FCommands;
    }
    // When each command arrived.
    std::vector<std::chrono::steady_clock::time_point> Times() {
        std::lock_guard Guard(FLock);
        return FTimes;
    }

private:
    void Run() {
        for (;;) {
            const int Client = ::accept(FListener, nullptr, nullptr);
            if (Client < 0)
                return;
            const int Server = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in Address{};
            Address.sin_family = AF_INET;
            Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            Address.sin_port = htons(uint16_t(FServerPort));
            if (::connect(Server, reinterpret_cast<sockaddr*>(&Address), sizeof Address) == 0)
                Relay(Client, Server);
            ::close(Server);
            ::close(Client);
        }
    }
    void Relay(int Client, int Server) {
        std::string Line;
        char Buffer[65536];
        pollfd Fds[2] = {{Client, POLLIN, 0}, {Server, POLLIN, 0}};
        for (;;) {
            if (::poll(Fds, 2, -1) < 0)
                return;
            for (int I = 0; I < 2; ++I) {
                if (!(Fds[I].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t Got = ::recv(Fds[I].fd, Buffer, sizeof Buffer, 0);
                if (Got <= 0)
                    return;
                if (::send(Fds[1 - I].fd, Buffer, size_t(Got), MSG_NOSIGNAL) != Got)
                    return;
                if (I == 0) {
                    Line.append(Buffer, size_t(Got));
                    for (auto End = Line.find("\r\n"); End != std::string::npos;
                         End = Line.find("\r\n")) {
                        std::lock_guard Guard(FLock);
                        FCommands.push_back(Line.substr(0, End));
                        FTimes.push_back(std::chrono::steady_clock::now());
                        Line.erase(0, End + 2);
                    }
                }
            }
        }
    }

    int FServerPort;
    int FListener = -1;
    int FPort = 0;
    std::thread FThread;
    std::mutex FLock;
    std::vector<std::string> FCommands;
    std::vector<std::chrono::steady_clock::time_point> FTimes;
};

class TBenchHost : public ICheckMsgHost {
public:
    TMessageTable Table;
    TRecentList Recent;
    int Spoken = 0;

    void ShowStatus(const std::string&, bool) override {}
    bool DebugMode() override { return false; }
    void EnableLastError(bool) override {}
    void EnableStop(bool) override {}
    void EnableCheckNow(bool) override {}
    void EnableMarkRead(bool) override {}
    void StartTrayAnimation() override {}
    void StopTrayAnimation() override {}
    void SetTrayIcon(int) override {}
    void ShowCounts(int32_t, int32_t, int32_t) override {}
    void ShowLastMessageID(const std::string&) override {}
    void CheckProgramState() override {}
    void StopConnectionTimer() override {}
    int32_t MaxMessages() override { return 3; }
    std::string UserName() override { return "Bench"; }
    bool SoundBeep() override { return false; }
    bool HideAgentAfterSpeak() override { return false; }
    bool EnableAgent() override { return true; }
    bool AgentLoaded() override { return true; }
    void MessageBeep(unsigned) override {}
    void AgentSpeak(const std::string&, bool) override { ++Spoken; }
    TMessageTable& MessageTable() override { return Table; }
    TRecentList& RecentList() override { return Recent; }
};

std::string Mail(int N) {
    return "Message-ID: <b" + std::to_string(N) + "@bench.example>\nFrom: Sender " +
           std::to_string(N) + " <s@bench.example>\nSubject: Message " + std::to_string(N) +
           "\n\nBody\n";
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    constexpr int Total = 10000;
    constexpr int New = 3;
    if (!DovecotServer::Available()) {
        std::printf("mail check bench: dovecot is not installed, nothing measured\n");
        return 0;
    }
    DovecotServer Server(std::vector<DovecotServer::User>{{"bench", "secret"}});
    const auto FillStart = std::chrono::steady_clock::now();
    for (int N = 1; N <= Total; ++N)
        Server.Deliver("bench", Mail(N));
    const double FillSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - FillStart).count();

    // What the previous check left behind: 9,997 messages, the newest of them known.
    SessionInfo().PrevNumMessages = Total - New;
    LastMessageID().Set("<b" + std::to_string(Total - New) + "@bench.example>");

    // Dovecot indexes a mailbox at its first login; that cost is the server's, so one plain
    // session warms it up and is reported apart.
    double WarmUpSeconds = 0;
    {
        TWinshoePOP3 Cold;
        Cold.SetHost("127.0.0.1");
        Cold.SetPort(Server.Port());
        Cold.SetUserID("bench");
        Cold.SetPassword("secret");
        const auto WarmStart = std::chrono::steady_clock::now();
        Cold.Connect();
        Cold.CheckMessages();
        Cold.Quit();
        Cold.Disconnect();
        WarmUpSeconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - WarmStart).count();
    }

    TCountingRelay Relay(Server.Port());
    TWinshoePOP3 POP3;
    TWinshoeMessage Msg;
    POP3.SetHost("127.0.0.1");
    POP3.SetPort(Relay.Port());
    POP3.SetUserID("bench");
    POP3.SetPassword("secret");
    TBenchHost Host;

    const auto Start = std::chrono::steady_clock::now();
    new TCheckMsgThread(POP3, Msg, Host);
    while (CheckInProgress)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
    const double Seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    const auto Commands = Relay.Commands();
    int HeaderFetches = 0;
    for (const auto& Command : Commands)
        HeaderFetches += Command.rfind("TOP ", 0) == 0;
    std::printf("mail check bench: %d messages, %d new\n", Total, New);
    std::printf("  filling the mailbox: %.2f s\n", FillSeconds);
    std::printf("  first login (server indexes the mailbox): %.1f ms\n", WarmUpSeconds * 1000.0);
    std::printf("  one check: %.1f ms wall\n", Seconds * 1000.0);
    std::printf("  POP3 commands: %zu (%d header fetches; bound %d)\n", Commands.size(),
                HeaderFetches, New + 2 + 4);
    const auto Times = Relay.Times();
    for (size_t I = 0; I < Commands.size(); ++I)
        std::printf("    %8.1f ms  %s\n",
                    std::chrono::duration<double>(Times[I] - Start).count() * 1000.0,
                    Commands[I].rfind("Pass ", 0) == 0 ? "Pass ..." : Commands[I].c_str());
    std::printf("  new messages judged: %d, announced: %d, error: %s\n",
                SessionInfo().NumNewMessages.load(), Host.Spoken,
                SessionInfo().ErrorFlag() ? SessionInfo().LastError().c_str() : "none");
    return 0;
}
