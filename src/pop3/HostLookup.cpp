#include "pop3/HostLookup.h"

#include <atomic>
#include <system_error>
#include <thread>

#include <arpa/nameser.h>
#include <netdb.h>
#include <resolv.h>

namespace {

std::atomic<int> OutstandingLookups = 0;

} // namespace

int ResolveServiceRecords(const std::string& name, std::vector<TServiceRecord>& found) {
    found.clear();
    // A state of this thread's own: the shared one (_res) is not safe between threads.
    struct __res_state state {};
    if (::res_ninit(&state) != 0) {
        return WSATRY_AGAIN;
    }
    unsigned char answer[NS_MAXMSG];
    const int length = ::res_nquery(&state, name.c_str(), ns_c_in, ns_t_srv, answer, sizeof answer);
    const int failure = state.res_h_errno;
    ::res_nclose(&state);
    if (length < 0) {
        return failure == HOST_NOT_FOUND ? WSAHOST_NOT_FOUND
               : failure == NO_DATA      ? WSANO_DATA
                                         : WSATRY_AGAIN;
    }
    ns_msg message;
    if (::ns_initparse(answer, length, &message) != 0) {
        return WSATRY_AGAIN;
    }
    for (int i = 0; i < ns_msg_count(message, ns_s_an); ++i) {
        ns_rr record;
        // The fixed part is priority, weight and port, two bytes each, then the target name.
        if (::ns_parserr(&message, ns_s_an, i, &record) != 0 || ns_rr_type(record) != ns_t_srv ||
            ns_rr_rdlen(record) < 7) {
            continue;
        }
        const unsigned char* data = ns_rr_rdata(record);
        char target[NS_MAXDNAME];
        if (::dn_expand(ns_msg_base(message), ns_msg_end(message), data + 6, target,
                        sizeof target) < 0) {
            continue;
        }
        TServiceRecord service;
        service.Priority = ns_get16(data);
        service.Weight = ns_get16(data + 2);
        service.Port = ns_get16(data + 4);
        // The root name comes back empty.
        service.Target = target[0] == '\0' ? "." : target;
        found.push_back(std::move(service));
    }
    return found.empty() ? WSANO_DATA : 0;
}

int THostLookup::Outstanding() {
    return OutstandingLookups.load();
}

void THostLookup::Launch(const std::shared_ptr<THostLookup>& lookup,
                         std::function<void(THostLookup&)> work) {
    if (OutstandingLookups.fetch_add(1) >= MaxOutstanding) {
        OutstandingLookups.fetch_sub(1);
        lookup->Finish(WSATRY_AGAIN, {});
        return;
    }
    // The thread holds the lookup object itself, so a late answer lands in an object that only
    // the thread still owns.
    auto run = [lookup, work] {
        work(*lookup);
        OutstandingLookups.fetch_sub(1);
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error&) {
        // No thread to be had: resolve here rather than not at all.
        run();
    }
}

std::shared_ptr<THostLookup> THostLookup::Start(const std::string& host, TResolver resolver) {
    auto lookup = std::make_shared<THostLookup>();
    if (!resolver) {
        resolver = [](const std::string& name, std::vector<TResolvedAddress>& found) {
            return ResolveHostAddresses(name, false, found);
        };
    }
    Launch(lookup, [host, resolver](THostLookup& self) {
        std::vector<TResolvedAddress> found;
        int result = WSAHOST_NOT_FOUND;
        try {
            result = resolver(host, found);
        } catch (...) {
        }
        self.Finish(result, std::move(found));
    });
    return lookup;
}

std::shared_ptr<THostLookup> THostLookup::StartService(const std::string& name,
                                                       TServiceResolver resolver) {
    auto lookup = std::make_shared<THostLookup>();
    if (!resolver) {
        resolver = ResolveServiceRecords;
    }
    Launch(lookup, [name, resolver](THostLookup& self) {
        std::vector<TServiceRecord> found;
        int result = WSATRY_AGAIN;
        try {
            result = resolver(name, found);
        } catch (...) {
        }
        self.Finish(result, {}, std::move(found));
    });
    return lookup;
}

void THostLookup::Finish(int result, std::vector<TResolvedAddress> addresses,
                         std::vector<TServiceRecord> services) {
    {
        std::lock_guard lock(FLock);
        FResult = result;
        FAddresses = std::move(addresses);
        FServices = std::move(services);
        FDone = true;
    }
    FChanged.notify_all();
}

bool THostLookup::Wait() {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FDone || FCancelled; });
    return !FCancelled;
}

bool THostLookup::WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock lock(FLock);
    FChanged.wait_for(lock, limit, [this] { return FDone || FCancelled; });
    return FDone && !FCancelled;
}

void THostLookup::Cancel() {
    {
        std::lock_guard lock(FLock);
        FCancelled = true;
    }
    FChanged.notify_all();
}
