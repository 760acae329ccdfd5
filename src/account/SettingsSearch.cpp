#include "account/SettingsSearch.h"

#include <condition_variable>
#include <thread>

#include "account/DnsSettings.h"
#include "account/HttpsFetch.h"

namespace {

// Calls the handler from a thread of its own once the time is up, unless destroyed before.
class TDeadline {
public:
    TDeadline(std::chrono::milliseconds limit, std::function<void()> expired)
        : FThread([this, limit, expired = std::move(expired)] {
              std::unique_lock lock(FLock);
              if (!FChanged.wait_for(lock, limit, [this] { return FDone; })) {
                  expired();
              }
          }) {}
    ~TDeadline() {
        {
            std::lock_guard lock(FLock);
            FDone = true;
        }
        FChanged.notify_all();
        FThread.join();
    }
    TDeadline(const TDeadline&) = delete;
    TDeadline& operator=(const TDeadline&) = delete;

private:
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FDone = false;
    std::thread FThread;
};

} // namespace

TSettingsSearch::TSettingsSearch(std::shared_ptr<const TProviderTable> table, TOptions options)
    : FTable(table ? std::move(table) : std::make_shared<const TProviderTable>()),
      FOptions(std::move(options)) {}

void TSettingsSearch::Cancel() {
    std::lock_guard lock(FLock);
    FCancelled = true;
    for (const auto& lookup : FLookups) {
        lookup->Cancel();
    }
    if (FFetch != nullptr) {
        FFetch->Abandon();
    }
}

bool TSettingsSearch::Cancelled() const {
    std::lock_guard lock(FLock);
    return FCancelled;
}

TFoundSettings TSettingsSearch::Run(const QString& address) {
    TFoundSettings found = FTable->Find(address);
    if (found.Found() || found.Domain.isEmpty()) {
        return found;
    }
    const QString domain = found.Domain;
    if (auto server = FromServiceRecords(domain)) {
        found.Source = TSettingsSource::DnsRecords;
        found.Server = *server;
        // The records name no login; a known provider's form, else the whole address.
        const TProvider* provider = FTable->ForHost(server->Host);
        found.Server.Login = ExpandPlaceholders(
            provider != nullptr ? provider->Preferred().Login : QStringLiteral("%EMAILADDRESS%"),
            address);
    } else if (auto config = FromConfigurationFile(address, domain)) {
        found.Source = TSettingsSource::ConfigurationFile;
        found.Server = config->Server;
        found.Note = config->Note;
    }
    if (Cancelled()) {
        TFoundSettings nothing;
        nothing.Domain = domain;
        return nothing;
    }
    if (!found.Found()) {
        return found;
    }
    if (const TProvider* provider = FTable->ForHost(found.Server.Host)) {
        found.ProviderName = provider->Name;
        found.Note = provider->Note;
        found.NoteUrl = provider->NoteUrl;
    } else if (found.Note != TProviderNote::None) {
        found.ProviderName = domain;
    }
    return found;
}

std::optional<TServerSettings> TSettingsSearch::FromServiceRecords(const QString& domain) {
    std::vector<std::shared_ptr<THostLookup>> lookups;
    {
        std::lock_guard lock(FLock);
        if (FCancelled) {
            return std::nullopt;
        }
        // All four at once: the wait is that of the slowest answer, not the sum.
        for (const TMailService& service : MailServices) {
            lookups.push_back(THostLookup::StartService(service.Prefix + domain.toStdString(),
                                                        FOptions.ServiceResolver));
        }
        FLookups = lookups;
    }
    const auto deadline = std::chrono::steady_clock::now() + FOptions.DnsLimit;
    TServiceAnswers answers;
    std::optional<TServerSettings> server;
    // In the order of preference: once a service answers with a usable record, the less preferred
    // ones do not matter.
    for (std::size_t i = 0; i < lookups.size() && !server; ++i) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (lookups[i]->WaitFor(std::max(left, std::chrono::milliseconds(0))) &&
            lookups[i]->Result() == 0) {
            answers[i] = lookups[i]->Services();
        }
        if (Cancelled()) {
            break;
        }
        TServiceAnswers sofar;
        sofar[i] = answers[i];
        server = SettingsFromServiceRecords(sofar);
    }
    {
        std::lock_guard lock(FLock);
        FLookups.clear();
    }
    return Cancelled() ? std::nullopt : server;
}

std::optional<TAutoConfig> TSettingsSearch::FromConfigurationFile(const QString& address,
                                                                  const QString& domain) {
    for (const QString& url : AutoConfigUrls(address, domain)) {
        THttpsFetch fetch;
        fetch.SetResolver(FOptions.HostResolver);
        fetch.SetPortOverride(FOptions.HttpsPort);
        {
            std::lock_guard lock(FLock);
            if (FCancelled) {
                return std::nullopt;
            }
            FFetch = &fetch;
        }
        std::string body;
        try {
            TDeadline deadline(FOptions.FetchLimit, [&fetch] { fetch.Abandon(); });
            body = fetch.Fetch(url.toStdString());
        } catch (const std::exception&) {
            // Not there, not trusted, too large, too slow: nothing found at this address.
            body.clear();
        }
        {
            std::lock_guard lock(FLock);
            FFetch = nullptr;
        }
        if (auto config = ParseAutoConfig(QByteArray::fromStdString(body), address)) {
            return config;
        }
    }
    return std::nullopt;
}
