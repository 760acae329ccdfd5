#include "imap/ImapIdler.h"

#include <cstdlib>

namespace {

// A positive number of seconds from the environment, or the default.
std::chrono::seconds SecondsFromEnvironment(const char* name, std::chrono::seconds fallback) {
    const char* text = std::getenv(name);
    if (text == nullptr) {
        return fallback;
    }
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && value > 0 && value <= 24 * 3600
               ? std::chrono::seconds(value)
               : fallback;
}

} // namespace

TImapIdler::TImapIdler(TImapAccount account, TNewsEvent onNews, TStateEvent onState)
    : FAccount(std::move(account)), FOnNews(std::move(onNews)), FOnState(std::move(onState)),
      FRenewAfter(SecondsFromEnvironment("TALVORO_IMAP_IDLE_RENEW_SECONDS", DefaultRenewAfter)),
      FKeepAlive(SecondsFromEnvironment("TALVORO_IMAP_KEEPALIVE_SECONDS", DefaultKeepAlive)) {
    FClient.SetHost(FAccount.Host);
    FClient.SetPort(FAccount.Port);
    FClient.SetSecurity(FAccount.Security);
    FClient.SetUserID(FAccount.UserID);
    FClient.SetPassword(FAccount.Password);
    FClient.SetTrustedCertificate(FAccount.TrustedCertificate);
}

TImapIdler::~TImapIdler() {
    Stop();
}

void TImapIdler::SetRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds most) {
    FFirstDelay = first;
    FMostDelay = most;
}

void TImapIdler::Start() {
    std::lock_guard lock(FLock);
    if (!FThread.joinable() && !FStopping) {
        FThread = std::thread([this] { Run(); });
    }
}

void TImapIdler::ReconnectNow() {
    {
        // Closed under the lock that guards the request: the thread takes the request only
        // after the close, so the close cannot hit the connection made for the request.
        std::lock_guard lock(FLock);
        FReconnect = true;
        FClient.CloseSocket();
    }
    FChanged.notify_all();
}

void TImapIdler::Stop() {
    std::unique_lock lock(FLock);
    FStopping = true;
    FChanged.notify_all();
    if (!FThread.joinable()) {
        return;
    }
    if (FThread.get_id() == std::this_thread::get_id()) {
        // From a callback: the thread ends by itself once the callback has returned.
        lock.unlock();
        FClient.CloseSocket();
        return;
    }
    // Closing once is not enough when the thread is just about to open a new connection: close
    // again until it has seen the request.
    while (!FFinished) {
        lock.unlock();
        FClient.CloseSocket();
        lock.lock();
        FChanged.wait_for(lock, std::chrono::milliseconds(20), [this] { return FFinished; });
    }
    lock.unlock();
    FThread.join();
    lock.lock();
}

bool TImapIdler::Stopping() {
    std::lock_guard lock(FLock);
    return FStopping;
}

bool TImapIdler::TakeReconnectRequest() {
    std::lock_guard lock(FLock);
    const bool requested = FReconnect;
    FReconnect = false;
    return requested;
}

void TImapIdler::Report(TState state, const std::string& error, std::chrono::milliseconds delay) {
    if (FOnState) {
        const auto next =
            state == TState::Waiting
                ? std::chrono::system_clock::now() +
                      std::chrono::duration_cast<std::chrono::system_clock::duration>(delay)
                : std::chrono::system_clock::time_point();
        FOnState(TStatus{state, error, next, delay});
    }
}

void TImapIdler::Run() {
    std::chrono::milliseconds delay = FFirstDelay;
    bool reconnection = false;
    while (!Stopping()) {
        TakeReconnectRequest();
        Report(TState::Connecting);
        std::string error;
        bool idled = false;
        try {
            Session(reconnection, idled);
        } catch (const std::exception& e) {
            error = e.what();
        }
        FClient.Disconnect();
        if (FUnsupported || Stopping()) {
            break;
        }
        if (error.empty()) {
            // The session ended on a request: connect again at once.
            delay = FFirstDelay;
            continue;
        }
        reconnection = true;
        if (idled) {
            delay = FFirstDelay;
        }
        if (TakeReconnectRequest()) {
            delay = FFirstDelay;
            continue;
        }
        Report(TState::Waiting, error, delay);
        std::unique_lock lock(FLock);
        const bool woken =
            FChanged.wait_for(lock, delay, [this] { return FStopping || FReconnect; });
        if (woken) {
            FReconnect = false;
            delay = FFirstDelay;
        } else {
            delay = std::min(delay * 2, FMostDelay);
        }
    }
    Report(FUnsupported ? TState::Unsupported : TState::Stopped);
    std::lock_guard lock(FLock);
    FFinished = true;
    FChanged.notify_all();
}

// One connection, from the login to its end: returns when a reconnection or a stop was asked
// for; throws on every failure.
void TImapIdler::Session(bool& reconnection, bool& idled) {
    FClient.Connect();
    FClient.SetKeepAlive(static_cast<int>(FKeepAlive.count()));
    if (!FClient.HasCapability("IDLE")) {
        FUnsupported = true;
        try {
            FClient.Logout();
        } catch (const std::exception&) {
            // Leaving anyway.
        }
        return;
    }
    FClient.Examine(FAccount.Folder);
    Report(TState::Idling);
    idled = true;
    if (reconnection && FOnNews) {
        FOnNews();
    }
    reconnection = true;
    while (!Stopping() && !TakeReconnectRequest()) {
        FClient.Idle(FRenewAfter, [this] {
            if (FOnNews) {
                FOnNews();
            }
        });
    }
}
