#pragma once

// A small DNS server for tests on 127.0.0.1 (port 53 by default, for the system's resolver inside
// a private network, see PrivateNetwork.h). It answers A and SRV queries from the records it was
// given: a name it knows but without records of the type asked gets an empty answer, any other
// name "no such name". Silent, it takes every query and answers none (a server that hangs).
// Throws std::runtime_error when the port cannot be had.

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class DnsServer {
public:
    struct Srv {
        int Priority = 0;
        int Weight = 0;
        int Port = 0;
        std::string Target; // "." for "not offered"
    };

    explicit DnsServer(bool answer = true, int port = 53);
    ~DnsServer();
    DnsServer(const DnsServer&) = delete;
    DnsServer& operator=(const DnsServer&) = delete;

    // Names compare without regard to letter case.
    void AddSrv(const std::string& name, const Srv& record);
    void AddAddress(const std::string& name, const std::string& ipv4);
    // Queries answered so far.
    int Answered() const { return FAnswered.load(); }

private:
    struct Records {
        std::vector<Srv> Services;
        std::vector<std::string> Addresses;
    };

    void Run();
    std::string Answer(const std::string& query);

    int FSocket = -1;
    int FStopPipe[2] = {-1, -1};
    std::thread FThread;
    mutable std::mutex FLock;
    std::map<std::string, Records> FRecords;
    std::atomic<int> FAnswered{0};
};
