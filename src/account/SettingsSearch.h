#pragma once

// TSettingsSearch: finds the settings for an e-mail address, in this order: the list of known
// providers, the domain's SRV records, the domain's configuration file (its two addresses in
// turn). The first that knows the domain ends the search. Settings found elsewhere than in the
// list still carry the note of a known provider whose server they name (a domain of its own
// hosted by Gmail, say).
//
// Run() blocks the calling thread (never the window thread: see SettingsFinder.h) for at most
// about DnsLimit plus two FetchLimits. Cancel(), from any thread, ends it at once: every step
// waits on something that Cancel() can interrupt (lookup threads are abandoned, connections
// closed). After Cancel() the result is "nothing found".

#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "account/AutoConfig.h"
#include "account/ProviderTable.h"
#include "pop3/HostLookup.h"

class THttpsFetch;

struct TSettingsSearchOptions {
    std::chrono::milliseconds DnsLimit{4000};
    std::chrono::milliseconds FetchLimit{6000}; // for each configuration file address
    // Tests: another SRV resolver, another resolver for the web servers' names, and the port
    // every web server is reached on (0: the URL's, 443).
    TServiceResolver ServiceResolver;
    TResolver HostResolver;
    int HttpsPort = 0;
};

class TSettingsSearch {
public:
    using TOptions = TSettingsSearchOptions;

    explicit TSettingsSearch(std::shared_ptr<const TProviderTable> table,
                             TOptions options = TOptions());

    TFoundSettings Run(const QString& address);
    void Cancel();
    bool Cancelled() const;

    // The steps after the list, each usable alone.
    std::optional<TServerSettings> FromServiceRecords(const QString& domain);
    std::optional<TAutoConfig> FromConfigurationFile(const QString& address, const QString& domain);

private:
    std::shared_ptr<const TProviderTable> FTable;
    TOptions FOptions;

    mutable std::mutex FLock;
    bool FCancelled = false;
    std::vector<std::shared_ptr<THostLookup>> FLookups;
    THttpsFetch* FFetch = nullptr;
};
