// Mail checks on a large mailbox: a throw-away Dovecot holding 10,000 messages. Prints, for a
// check that finds nothing new, one that finds 3 new messages, and one after messages were
// deleted elsewhere (the restarted count, with the unique-ID listing), the wall time (from the
// worker's creation to its end) and the CPU time of this process (window thread and worker)
// beside it, and the POP3 commands the client sent, counted on the wire by a relay between
// client and server in a separate run. The program waits for each check in a blocking event
// loop, so that the CPU figures are the check's own. Never fails on slowness.
#include "mail/CheckMsgHost.h"
#include "mail/CheckMsgThread.h"
#include "mail/MessageTable.h"
#include "mail/RecentList.h"
#include "mail/SessionInfoRecord.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"

#include "DovecotServer.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

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
    return "Message-ID: <b" + std::to_string(N) + "@bench.example>\nFrom: =?UTF-8?Q?Sender_" +
           std::to_string(N) +
           "?= <s@bench.example>\nSubject: =?UTF-8?B?TWVzc2FnZQ==?= " + std::to_string(N) +
           "\n\nBody\n";
}

std::string ID(int N) {
    return "<b" + std::to_string(N) + "@bench.example>";
}

double Milliseconds(const timeval& T) {
    return double(T.tv_sec) * 1000.0 + double(T.tv_usec) / 1000.0;
}

double ProcessCpuMs() {
    rusage Usage{};
    ::getrusage(RUSAGE_SELF, &Usage);
    return Milliseconds(Usage.ru_utime) + Milliseconds(Usage.ru_stime);
}

double ThreadCpuMs() {
    timespec T{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
    return double(T.tv_sec) * 1000.0 + double(T.tv_nsec) / 1e6;
}

struct TRun {
    double WallMs = 0;
    double CpuMs = 0;       // the whole process: window thread and worker
    double WindowCpuMs = 0; // the window thread alone
};

// One check as the main window runs it, waited for in a blocking event loop.
TRun Check(TWinshoePOP3& POP3, TWinshoeMessage& Msg, TBenchHost& Host) {
    TRun Run;
    const double CpuBefore = ProcessCpuMs();
    const double WindowBefore = ThreadCpuMs();
    const auto Start = std::chrono::steady_clock::now();
    auto* Worker = new TCheckMsgThread(POP3, Msg, Host);
    QEventLoop Loop;
    QObject::connect(Worker, &QObject::destroyed, &Loop, &QEventLoop::quit);
    Loop.exec();
    Run.WallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - Start).count();
    Run.CpuMs = ProcessCpuMs() - CpuBefore;
    Run.WindowCpuMs = ThreadCpuMs() - WindowBefore;
    return Run;
}

// What the previous check left behind.
void Remember(int32_t PrevNumMessages, const std::string& LastID, const std::string& LastUID) {
    SessionInfo().Clear();
    SessionInfo().PrevNumMessages = PrevNumMessages;
    LastMessageID().Set(LastID);
    LastMessageUID().Set(LastUID);
}

double Median(std::vector<double> Values) {
    std::sort(Values.begin(), Values.end());
    return Values.empty() ? 0 : Values[Values.size() / 2];
}

void PrintRuns(const char* Title, const std::vector<TRun>& Runs) {
    std::vector<double> Wall, Cpu, Window;
    for (const TRun& Run : Runs) {
        Wall.push_back(Run.WallMs);
        Cpu.push_back(Run.CpuMs);
        Window.push_back(Run.WindowCpuMs);
    }
    std::printf("  %s, median of %zu checks: %.1f ms wall, %.2f ms CPU (window thread %.2f ms)\n",
                Title, Runs.size(), Median(Wall), Median(Cpu), Median(Window));
}

void PrintCommands(const char* Title, const std::vector<std::string>& Commands) {
    std::printf("  POP3 commands %s: %zu:", Title, Commands.size());
    for (const auto& Command : Commands)
        std::printf(" [%s]", Command.rfind("Pass ", 0) == 0 ? "Pass ..." : Command.c_str());
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication App(argc, argv);
    constexpr int Total = 10000;
    constexpr int New = 3;
    constexpr int Repeats = 10;
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

    // Dovecot indexes a mailbox at its first login; that cost is the server's, so one plain
    // session warms it up and is reported apart.
    double WarmUpMs = 0;
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
        WarmUpMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - WarmStart)
                .count();
    }

    TCountingRelay Relay(Server.Port());
    TWinshoePOP3 POP3;
    TWinshoeMessage Msg;
    POP3.SetHost("127.0.0.1");
    POP3.SetUserID("bench");
    POP3.SetPassword("secret");
    TBenchHost Host;
    const auto Direct = [&] { POP3.SetPort(Server.Port()); };
    const auto Relayed = [&] { POP3.SetPort(Relay.Port()); };
    const auto RelayedCommands = [&](size_t From) {
        // The relay records a command when it passes; the last one may pass just after the
        // check has ended.
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < Deadline &&
               (Relay.Commands().size() <= From || Relay.Commands().back() != "Quit"))
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const auto All = Relay.Commands();
        return std::vector<std::string>(All.begin() + long(From), All.end());
    };

    std::printf("mail check bench: %d messages\n", Total);
    std::printf(
        "  filling the mailbox: %.2f s; first login (server indexes the mailbox): %.1f ms\n",
        FillSeconds, WarmUpMs);

    // The first check that finds new mail also loads the header decoder.
    Direct();
    Remember(Total - New, ID(Total - New), "");
    const TRun First = Check(POP3, Msg, Host);
    std::printf(
        "  first check with new mail (loads the header decoder): %.1f ms wall, %.2f ms CPU\n",
        First.WallMs, First.CpuMs);

    std::vector<TRun> Runs;
    for (int I = 0; I < Repeats; ++I) {
        Remember(Total, ID(Total), LastMessageUID().Get());
        Runs.push_back(Check(POP3, Msg, Host));
    }
    PrintRuns("nothing new", Runs);
    Relayed();
    size_t Mark = Relay.Commands().size();
    Check(POP3, Msg, Host);
    PrintCommands("when nothing is new", RelayedCommands(Mark));

    Direct();
    Runs.clear();
    for (int I = 0; I < Repeats; ++I) {
        Remember(Total - New, ID(Total - New), "");
        Runs.push_back(Check(POP3, Msg, Host));
    }
    PrintRuns("3 new", Runs);
    Relayed();
    Mark = Relay.Commands().size();
    Remember(Total - New, ID(Total - New), "");
    Host.Spoken = 0;
    Check(POP3, Msg, Host);
    PrintCommands("with 3 new", RelayedCommands(Mark));
    std::printf("  announced: %d, decoded sender: \"%s\", error: %s\n", Host.Spoken,
                Host.Table.CurrentFrom().c_str(),
                SessionInfo().ErrorFlag() ? SessionInfo().LastError().c_str() : "none");

    // Another client deletes 3 old messages and 1 arrives: the count restarts, and the unique-ID
    // listing of all 9,998 messages finds where the new one begins.
    const std::string UID = LastMessageUID().Get();
    for (int I = 0; I < 3; ++I)
        Server.Delete("bench", 1);
    Server.Deliver("bench", Mail(Total + 1));
    Direct();
    Runs.clear();
    for (int I = 0; I < Repeats; ++I) {
        Remember(Total, ID(Total), UID);
        Runs.push_back(Check(POP3, Msg, Host));
    }
    PrintRuns("after deletions elsewhere", Runs);
    Relayed();
    Mark = Relay.Commands().size();
    Remember(Total, ID(Total), UID);
    Check(POP3, Msg, Host);
    PrintCommands("after deletions elsewhere", RelayedCommands(Mark));
    std::printf("  new messages judged after deletions: %d (exact: 1), error: %s\n",
                SessionInfo().NumNewMessages.load(),
                SessionInfo().ErrorFlag() ? SessionInfo().LastError().c_str() : "none");
    return 0;
}
