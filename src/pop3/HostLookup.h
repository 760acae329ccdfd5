#pragma once

// Name lookup that nobody has to wait for. The system's resolver cannot be interrupted: a
// getaddrinfo call waiting for a DNS server that never answers blocks for as long as the
// resolver's own time-outs allow, whatever happens to the socket meanwhile. So every lookup runs
// on a thread of its own; the session thread waits for its answer or for Cancel(), whichever
// comes first, and an answer that arrives after Cancel() is discarded by the lookup thread when
// it finishes. Closing a connection, and ending the program, therefore never wait for a lookup.
//
// At most MaxOutstanding lookup threads exist at a time: with a resolver that hangs for minutes
// a check every minute would otherwise pile them up. Beyond that a lookup fails at once with
// WSATRY_AGAIN.
//
// The same machinery asks for a service's SRV records (StartService): where the service named
// "_imaps._tcp.example.org" is offered, by which hosts and ports.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "pop3/WinsockIntf.h"

// Resolves a host name: 0 and the addresses, or a Winsock code. Must be safe to run on any
// thread; the default is ResolveHostAddresses of the binding.
using TResolver = std::function<int(const std::string& host, std::vector<TResolvedAddress>& found)>;

// One SRV record. A Target of "." means that the domain does not offer the service.
struct TServiceRecord {
    int Priority = 0;
    int Weight = 0;
    int Port = 0;
    std::string Target;
};

// Looks up the SRV records of a service name ("_imaps._tcp.example.org"): 0 and the records,
// WSAHOST_NOT_FOUND for a name that does not exist, WSANO_DATA for one without SRV records,
// WSATRY_AGAIN when the DNS server failed or did not answer. Must be safe on any thread; the
// default is ResolveServiceRecords.
using TServiceResolver =
    std::function<int(const std::string& name, std::vector<TServiceRecord>& found)>;

// The system's resolver asked for SRV records (res_nquery, with a resolver state of the calling
// thread's own), in the order the server gave them.
int ResolveServiceRecords(const std::string& name, std::vector<TServiceRecord>& found);

class THostLookup {
public:
    static constexpr int MaxOutstanding = 8;

    // Starts resolving host with the resolver (the system's when empty).
    static std::shared_ptr<THostLookup> Start(const std::string& host, TResolver resolver);
    // Starts looking up the SRV records of a service name with the resolver (the system's when
    // empty).
    static std::shared_ptr<THostLookup> StartService(const std::string& name,
                                                     TServiceResolver resolver);
    // Lookup threads still running, also those whose answer will be discarded.
    static int Outstanding();

    // Blocks until the answer is there (true) or Cancel() was called (false).
    bool Wait();
    // As Wait(), but gives up after the time given (false, the lookup goes on abandoned).
    bool WaitFor(std::chrono::milliseconds limit);
    // Any thread; only signals.
    void Cancel();

    // After Wait() returned true: 0 or the Winsock code of the failure, and the addresses.
    int Result() const { return FResult; }
    const std::vector<TResolvedAddress>& Addresses() const { return FAddresses; }
    // The records of a service lookup.
    const std::vector<TServiceRecord>& Services() const { return FServices; }

private:
    // Runs the work on a lookup thread of its own (or here when no thread can be had), counted
    // against MaxOutstanding.
    static void Launch(const std::shared_ptr<THostLookup>& lookup,
                       std::function<void(THostLookup&)> work);
    void Finish(int result, std::vector<TResolvedAddress> addresses,
                std::vector<TServiceRecord> services = {});

    std::mutex FLock;
    std::condition_variable FChanged;
    bool FDone = false;
    bool FCancelled = false;
    int FResult = 0;
    std::vector<TResolvedAddress> FAddresses;
    std::vector<TServiceRecord> FServices;
};
