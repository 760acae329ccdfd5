#include "pop3/HostLookup.h"

#include <atomic>
#include <system_error>
#include <thread>

namespace {

std::atomic<int> OutstandingLookups = 0;

} // namespace

int THostLookup::Outstanding() {
    return OutstandingLookups.load();
}

std::shared_ptr<THostLookup> THostLookup::Start(const std::string& host, TResolver resolver) {
    auto lookup = std::make_shared<THostLookup>();
    if (!resolver) {
        resolver = [](const std::string& name, std::vector<TResolvedAddress>& found) {
            return ResolveHostAddresses(name, false, found);
        };
    }
    if (OutstandingLookups.fetch_add(1) >= MaxOutstanding) {
        OutstandingLookups.fetch_sub(1);
        lookup->Finish(WSATRY_AGAIN, {});
        return lookup;
    }
    // The thread holds the lookup object itself, so a late answer lands in an object that only
    // the thread still owns.
    auto run = [lookup, host, resolver] {
        std::vector<TResolvedAddress> found;
        int result = WSAHOST_NOT_FOUND;
        try {
            result = resolver(host, found);
        } catch (...) {
        }
        lookup->Finish(result, std::move(found));
        OutstandingLookups.fetch_sub(1);
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error&) {
        // No thread to be had: resolve here rather than not at all.
        run();
    }
    return lookup;
}

void THostLookup::Finish(int result, std::vector<TResolvedAddress> addresses) {
    {
        std::lock_guard lock(FLock);
        FResult = result;
        FAddresses = std::move(addresses);
        FDone = true;
    }
    FChanged.notify_all();
}

bool THostLookup::Wait() {
    std::unique_lock lock(FLock);
    FChanged.wait(lock, [this] { return FDone || FCancelled; });
    return !FCancelled;
}

void THostLookup::Cancel() {
    {
        std::lock_guard lock(FLock);
        FCancelled = true;
    }
    FChanged.notify_all();
}
