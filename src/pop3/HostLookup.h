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

class THostLookup {
public:
    static constexpr int MaxOutstanding = 8;

    // Starts resolving host with the resolver (the system's when empty).
    static std::shared_ptr<THostLookup> Start(const std::string& host, TResolver resolver);
    // Lookup threads still running, also those whose answer will be discarded.
    static int Outstanding();

    // Blocks until the answer is there (true) or Cancel() was called (false).
    bool Wait();
    // Any thread; only signals.
    void Cancel();

    // After Wait() returned true: 0 or the Winsock code of the failure, and the addresses.
    int Result() const { return FResult; }
    const std::vector<TResolvedAddress>& Addresses() const { return FAddresses; }

private:
    void Finish(int result, std::vector<TResolvedAddress> addresses);

    std::mutex FLock;
    std::condition_variable FChanged;
    bool FDone = false;
    bool FCancelled = false;
    int FResult = 0;
    std::vector<TResolvedAddress> FAddresses;
};
