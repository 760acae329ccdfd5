// POP3 client figures: header blocks parsed per second, and one mail-check session on a
// 10,000-message mailbox against a local Dovecot, in plain text and over TLS, next to Python's
// poplib (POP3 and POP3_SSL) doing the same. Prints figures only; never fails on slowness.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

#include "DovecotServer.h"
#include "FakeServer.h"
#include "TestCertificates.h"
#include "pop3/WinshoeMessageClient.h"
#include "pop3/WinshoePOP3.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// A typical header block of a mailing-list message, as TOP n 0 returns it.
std::vector<std::string> SampleHeader(int n) {
    const std::string i = std::to_string(n);
    return {
        "Return-Path: <list-bounces+" + i + "@lists.example.org>",
        "Received: from mx.example.org (mx.example.org [192.0.2.1])",
        "\tby mail.example.com with ESMTPS id " + i,
        "\tfor <user@example.com>; Tue, 8 Dec 2026 10:00:00 +0100",
        "From: \"Sender, Number " + i + "\" <sender" + i + "@example.org>",
        "To: \"Doe, Jane\" <jane@example.com>, bob@example.com,",
        " \"Roe, Richard\" <richard@example.com>",
        "Cc: list@lists.example.org",
        "Subject: =?UTF-8?Q?Re:_Weekly_report_number_" + i + "?=",
        " continued on a second line",
        "Date: Tue, 8 Dec 2026 10:00:00 +0100",
        "Message-ID: <" + i + ".report@example.org>",
        "References: <1.report@example.org> <2.report@example.org>",
        "MIME-Version: 1.0",
        "Content-Type: text/plain; charset=UTF-8",
        "List-Id: Weekly reports <reports.lists.example.org>",
    };
}

void BenchParsing() {
    const std::vector<std::string> lines = SampleHeader(7);
    TWinshoeMessage message;
    const int blocks = 200000;
    std::size_t check = 0;
    const auto start = Clock::now();
    for (int n = 0; n < blocks; ++n) {
        message.Clear();
        message.Headers() = lines;
        TWinshoeMessageClient::ParseHeaderBlock(message);
        check += message.Subject().size() + message.Too().size();
    }
    const double seconds = SecondsSince(start);
    std::printf("Header blocks parsed (in memory):            %10.0f per second (%zu)\n",
                blocks / seconds, check % 10);
}

void BenchReadingOverLoopback() {
    const int blocks = 20000;
    std::string stream;
    for (int n = 1; n <= blocks; ++n) {
        stream += "+OK\r\n";
        for (const std::string& line : SampleHeader(n)) {
            stream += line + "\r\n";
        }
        stream += "\r\n.\r\n";
    }
    FakeServer server;
    server.AddConnection({FakeServer::Send(stream)});
    TWinshoeMessageClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(server.Port());
    client.Connect();
    TWinshoeMessage message;
    const std::vector<std::string> terminators = {".", ""};
    const auto start = Clock::now();
    for (int n = 0; n < blocks; ++n) {
        client.ReadReply();
        if (client.ReadHeaderBlock(message, terminators) != 0) {
            while (client.ReadLine() != ".") {
            }
        }
    }
    const double seconds = SecondsSince(start);
    client.Disconnect();
    std::printf("Header blocks read and parsed (loopback):    %10.0f per second (%.1f MB/s)\n",
                blocks / seconds, static_cast<double>(stream.size()) / seconds / 1e6);
}

struct TSessionTimes {
    std::vector<double> Wall; // ms per session
    double CpuPerSession = 0; // ms of the client's own CPU time per session
};

// The client runs on the calling thread; the scripted server has a thread of its own.
double ThreadCpuMillis() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000 + static_cast<double>(now.tv_nsec) / 1e6;
}

TSessionTimes OurSessions(const std::string& host, int port, int count, int first,
                          TWinshoeSecurity security = TWinshoeSecurity::None) {
    TSessionTimes result;
    std::vector<double>& times = result.Wall;
    const double cpuStart = ThreadCpuMillis();
    TWinshoePOP3 client;
    TWinshoeMessage message;
    client.SetHost(host);
    client.SetPort(port);
    client.SetSecurity(security);
    client.SetUserID("bench");
    client.SetPassword("secret");
    for (int run = 0; run < count; ++run) {
        const auto start = Clock::now();
        client.Connect();
        const int messages = client.CheckMessages();
        for (int n = first; n > first - 5; --n) {
            client.RetrieveHeader(n, message);
        }
        client.Quit();
        client.Disconnect();
        times.push_back(SecondsSince(start) * 1000);
        if (messages != first) {
            std::printf("unexpected count %d\n", messages);
        }
    }
    result.CpuPerSession = (ThreadCpuMillis() - cpuStart) / count;
    return result;
}

// Connecting and disconnecting only: with TLS, the handshake's cost.
TSessionTimes OurConnections(const std::string& host, int port, int count,
                             TWinshoeSecurity security) {
    TSessionTimes result;
    const double cpuStart = ThreadCpuMillis();
    TWinshoeClient client;
    client.SetHost(host);
    client.SetPort(port);
    client.SetSecurity(security);
    for (int run = 0; run < count; ++run) {
        const auto start = Clock::now();
        client.Connect();
        client.Disconnect();
        result.Wall.push_back(SecondsSince(start) * 1000);
    }
    result.CpuPerSession = (ThreadCpuMillis() - cpuStart) / count;
    return result;
}

const char* const PoplibScript = R"PY(
import poplib, ssl, sys, time
host, port, runs, first = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
cafile = sys.argv[5] if len(sys.argv) > 5 else None
context = ssl.create_default_context(cafile=cafile) if cafile else None
cpu = time.process_time()
for _ in range(runs):
    start = time.perf_counter()
    p = poplib.POP3_SSL(host, port, context=context) if context else poplib.POP3(host, port)
    p.user('bench')
    p.pass_('secret')
    count = p.stat()[0]
    for n in range(first, first - 5, -1):
        p.top(n, 0)
    p.quit()
    print((time.perf_counter() - start) * 1000)
print('cpu', (time.process_time() - cpu) * 1000 / runs)
)PY";

// With a CA file, poplib.POP3_SSL verifying the server against it; plain poplib.POP3 otherwise.
TSessionTimes PoplibSessions(const std::string& host, int port, int count, int first,
                             const std::string& caFile = {}) {
    const std::string script = "/tmp/talvoro_poplib_bench.py";
    std::ofstream(script) << PoplibScript;
    const std::string command = "python3 " + script + " " + host + " " + std::to_string(port) +
                                " " + std::to_string(count) + " " + std::to_string(first) + " " +
                                caFile + " 2>&1";
    TSessionTimes result;
    std::vector<double>& times = result.Wall;
    FILE* output = ::popen(command.c_str(), "r");
    if (output == nullptr) {
        return result;
    }
    char line[256];
    while (std::fgets(line, sizeof line, output) != nullptr) {
        char* end = nullptr;
        const double value = std::strtod(line, &end);
        if (end != line) {
            times.push_back(value);
        } else if (std::string(line).starts_with("cpu ")) {
            result.CpuPerSession = std::strtod(line + 4, nullptr);
        } else {
            std::printf("python3: %s", line);
        }
    }
    ::pclose(output);
    ::unlink(script.c_str());
    return result;
}

void PrintComparison(const std::vector<TSessionTimes>& ours,
                     const std::vector<TSessionTimes>& theirs) {
    auto flatten = [](const std::vector<TSessionTimes>& rounds, double& cpu) {
        std::vector<double> all;
        cpu = 0;
        for (const TSessionTimes& round : rounds) {
            all.insert(all.end(), round.Wall.begin(), round.Wall.end());
            cpu += round.CpuPerSession / static_cast<double>(rounds.size());
        }
        return all;
    };
    double ourCpu = 0;
    double theirCpu = 0;
    const std::vector<double> a = flatten(ours, ourCpu);
    const std::vector<double> b = flatten(theirs, theirCpu);
    const double ourMedian = Median(a);
    std::printf("  Talvoro client   median %8.2f ms   best %8.2f ms   client CPU %6.2f ms\n",
                ourMedian, *std::min_element(a.begin(), a.end()), ourCpu);
    if (b.empty()) {
        std::printf("  Python poplib    not measured (python3 not available)\n");
        return;
    }
    const double theirMedian = Median(b);
    std::printf("  Python poplib    median %8.2f ms   best %8.2f ms   client CPU %6.2f ms\n",
                theirMedian, *std::min_element(b.begin(), b.end()), theirCpu);
    std::printf("  ratio Talvoro / poplib (median wall time): %.2f\n", ourMedian / theirMedian);
}

// The same dialogue against a scripted server in this process, which answers at once: what is
// left is the clients' own cost and the loopback round trips.
FakeServer::Script ScriptedSession(int first) {
    using S = FakeServer;
    FakeServer::Script script = {
        S::Send("+OK ready.\r\n"),      S::Expect("User bench"),       S::Send("+OK\r\n"),
        S::Expect("Pass secret"),       S::Send("+OK Logged in.\r\n"), S::Expect("STAT"),
        S::Send("+OK 10000 626682\r\n")};
    for (int n = first; n > first - 5; --n) {
        std::string reply = "+OK\r\n";
        for (const std::string& line : SampleHeader(n)) {
            reply += line + "\r\n";
        }
        script.push_back(S::Expect("TOP " + std::to_string(n) + " 0"));
        script.push_back(S::Send(reply + "\r\n.\r\n"));
    }
    script.push_back(S::Expect("Quit"));
    script.push_back(S::Send("+OK Logging out.\r\n"));
    return script;
}

void BenchScriptedSession() {
    const int first = 10000;
    const int runs = 200;
    FakeServer server;
    for (int n = 0; n < 2 * runs; ++n) {
        server.AddConnection(ScriptedSession(first));
    }
    const TSessionTimes ours = OurSessions("127.0.0.1", server.Port(), runs, first);
    const TSessionTimes theirs = PoplibSessions("127.0.0.1", server.Port(), runs, first);
    std::printf("Same session against a scripted server that answers at once, %d runs each:\n",
                runs);
    PrintComparison({ours}, {theirs});
}

double MedianOf(const std::vector<TSessionTimes>& rounds, double* cpu = nullptr) {
    std::vector<double> all;
    double cpuSum = 0;
    for (const TSessionTimes& round : rounds) {
        all.insert(all.end(), round.Wall.begin(), round.Wall.end());
        cpuSum += round.CpuPerSession;
    }
    if (cpu != nullptr) {
        *cpu = rounds.empty() ? 0 : cpuSum / static_cast<double>(rounds.size());
    }
    return all.empty() ? 0 : Median(all);
}

void BenchSession() {
    if (!DovecotServer::Available()) {
        std::printf("Session benchmark skipped: dovecot is not installed.\n");
        return;
    }
    const int mailbox = 10000;
    char folder[] = "/tmp/tvbXXXXXX";
    const std::string certificates = ::mkdtemp(folder);
    std::filesystem::permissions(certificates, std::filesystem::perms(0755));
    TestCertificates authority(certificates);
    const auto good = authority.Issue("good", {"DNS:localhost", "IP:127.0.0.1"});
    ::setenv("SSL_CERT_FILE", authority.AuthorityFile().c_str(), 1);

    DovecotServer server(std::vector<DovecotServer::User>{{"bench", "secret"}},
                         DovecotServer::TlsSettings{good.Certificate, good.Key, {}});
    for (int n = 1; n <= mailbox; ++n) {
        std::string message;
        for (const std::string& line : SampleHeader(n)) {
            message += line + "\n";
        }
        server.Deliver("bench", message + "\nBody of message " + std::to_string(n) + ".\n");
    }
    const std::string host = server.Host();
    const std::string ca = authority.AuthorityFile();
    // The first logins let Dovecot build its index of the new mailbox; not counted.
    OurSessions(host, server.Port(), 2, mailbox);
    OurSessions(host, server.SecurePort(), 2, mailbox, TWinshoeSecurity::SSLTLS);

    const int rounds = 30;
    std::vector<TSessionTimes> ours, oursTls, oursStartTls, poplib, poplibTls, plainConnect,
        tlsConnect;
    // Alternating rounds, so that every client meets the server in the same state.
    for (int round = 0; round < rounds; ++round) {
        ours.push_back(OurSessions(host, server.Port(), 1, mailbox));
        oursTls.push_back(
            OurSessions(host, server.SecurePort(), 1, mailbox, TWinshoeSecurity::SSLTLS));
        oursStartTls.push_back(
            OurSessions(host, server.Port(), 1, mailbox, TWinshoeSecurity::STARTTLS));
        poplib.push_back(PoplibSessions(host, server.Port(), 1, mailbox));
        poplibTls.push_back(PoplibSessions(host, server.SecurePort(), 1, mailbox, ca));
        plainConnect.push_back(OurConnections(host, server.Port(), 1, TWinshoeSecurity::None));
        tlsConnect.push_back(
            OurConnections(host, server.SecurePort(), 1, TWinshoeSecurity::SSLTLS));
    }
    double cpu[4] = {};
    const double plain = MedianOf(ours, &cpu[0]);
    const double tls = MedianOf(oursTls, &cpu[1]);
    const double startTls = MedianOf(oursStartTls);
    const double pyPlain = MedianOf(poplib, &cpu[2]);
    const double pyTls = MedianOf(poplibTls, &cpu[3]);
    double connectCpu[2] = {};
    const double handshake =
        MedianOf(tlsConnect, &connectCpu[1]) - MedianOf(plainConnect, &connectCpu[0]);
    const double handshakeCpu = connectCpu[1] - connectCpu[0];
    std::printf("Session on a %d-message Dovecot mailbox (login, STAT, 5 x TOP n 0, QUIT), "
                "median of %d runs each:\n",
                mailbox, rounds);
    std::printf("                       plain text      SSL/TLS   TLS/plain\n");
    std::printf("  Talvoro client     %8.2f ms  %8.2f ms   %6.2f   (STARTTLS %.2f ms)\n", plain,
                tls, tls / plain, startTls);
    std::printf("    client CPU       %8.2f ms  %8.2f ms\n", cpu[0], cpu[1]);
    if (pyPlain > 0 && pyTls > 0) {
        std::printf("  Python poplib      %8.2f ms  %8.2f ms   %6.2f   (POP3, POP3_SSL)\n", pyPlain,
                    pyTls, pyTls / pyPlain);
        std::printf("    client CPU       %8.2f ms  %8.2f ms\n", cpu[2], cpu[3]);
        std::printf("  Talvoro / poplib   %8.2f     %8.2f\n", plain / pyPlain, tls / pyTls);
    } else {
        std::printf("  Python poplib      not measured (python3 not available)\n");
    }
    std::printf("  One TLS handshake (a connect over TLS minus a plain one): %.2f ms wall, %.2f ms "
                "client CPU\n",
                handshake, handshakeCpu);
    std::printf("  TLS adds to a session: %.2f ms wall (%.2f handshakes), %.2f ms client CPU "
                "(%.2f handshakes)\n",
                tls - plain, handshake > 0 ? (tls - plain) / handshake : 0.0, cpu[1] - cpu[0],
                handshakeCpu > 0 ? (cpu[1] - cpu[0]) / handshakeCpu : 0.0);
    std::filesystem::remove_all(certificates);
}

} // namespace

int main() {
    BenchParsing();
    BenchReadingOverLoopback();
    BenchScriptedSession();
    BenchSession();
    return 0;
}
