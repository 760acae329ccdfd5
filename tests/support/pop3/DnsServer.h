#pragma once

// A DNS server of the test's own for the system's resolver inside a private network (see
// PrivateNetwork.h): Debian's dnsmasq on 127.0.0.1 port 53, answering SRV and A queries from the
// records it was started with, and every other name below "test" with "no such name". Gone with
// the object, and with the test process even when that is killed.

#include <string>
#include <vector>

#include <sys/types.h>

class DnsServer {
public:
    struct Srv {
        std::string Name;   // "_imaps._tcp.example.test"
        std::string Target; // empty: the service is not offered (target ".")
        int Port = 0;
        int Priority = 0;
        int Weight = 0;
    };
    struct Address {
        std::string Name;
        std::string IPv4;
    };

    static bool Available();

    // Throws std::runtime_error when dnsmasq does not come up.
    DnsServer(const std::vector<Srv>& services, const std::vector<Address>& addresses);
    ~DnsServer();
    DnsServer(const DnsServer&) = delete;
    DnsServer& operator=(const DnsServer&) = delete;

private:
    void Stop();

    pid_t FPid = -1;
};
