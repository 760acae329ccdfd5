#pragma once

// TImapIdler: the push connection. On a thread and a connection of its own it logs in, opens
// the folder read-only and waits in IDLE, and tells its owner when the server reports a change;
// the owner then runs a check (the idler never reads the mailbox itself). Plain C++: nothing
// here touches Qt, and both callbacks run on the idler's thread, so the owner hands them over
// to its own thread.
//
// Staying alive without anyone watching:
//   - IDLE is renewed (DONE, then IDLE again) every RenewAfter(): 28 minutes, below the 29 the
//     protocol allows; TALVORO_IMAP_IDLE_RENEW_SECONDS shortens it.
//   - The socket has TCP keep-alive, so that a connection that died without a word (a NAT
//     time-out, a server gone) fails within KeepAlive() (2 minutes; TALVORO_IMAP_KEEPALIVE_SECONDS
//     shortens it) by the system's own probes, with no timer of ours.
//   - After any failure it connects again after a delay that starts at FirstRetryDelay and
//     doubles up to MaxRetryDelay; the state callback says when the next attempt starts.
//   - ReconnectNow() (any thread: after a resume, when the network is back) ends the wait or the
//     connection at once and connects again with the delay reset.
// OnNews is called at most once per batch of replies read together, and once after every
// session that follows another (mail may have come while there was none). A server that does
// not offer IDLE ends the idler with the state Unsupported; the owner then checks at intervals.
//
// Stop() (any thread; also the destructor) returns promptly: it closes the socket, which ends a
// blocked read, a connection attempt or a name lookup at once.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "imap/ImapClient.h"

// The account a push connection logs in to.
struct TImapAccount {
    std::string Host;
    int Port = TImapClient::DefaultPort;
    TWinshoeSecurity Security = TWinshoeSecurity::None;
    std::string UserID;
    std::string Password;
    std::string TrustedCertificate; // the stored setting (pop3/TrustedCertificate.h)
    std::string Folder = "INBOX";
};

class TImapIdler {
public:
    enum class TState {
        Connecting,  // logging in and opening the folder
        Idling,      // waiting for news
        Waiting,     // a failure: Error says which, NextAttempt when it tries again
        Unsupported, // the server does not offer IDLE; the idler has ended
        Stopped      // Stop() ended it
    };
    struct TStatus {
        TState State = TState::Stopped;
        // Waiting only: the failure in the user's words, when the next attempt starts, and the
        // wait before it.
        std::string Error;
        std::chrono::system_clock::time_point NextAttempt;
        std::chrono::milliseconds Delay{0};
    };
    using TNewsEvent = std::function<void()>;
    using TStateEvent = std::function<void(const TStatus& status)>;

    static constexpr std::chrono::seconds DefaultRenewAfter{28 * 60};
    static constexpr std::chrono::seconds DefaultKeepAlive{120};
    static constexpr std::chrono::milliseconds FirstRetryDelay{5000};
    static constexpr std::chrono::milliseconds MaxRetryDelay{120000};

    TImapIdler(TImapAccount account, TNewsEvent onNews, TStateEvent onState);
    ~TImapIdler();
    TImapIdler(const TImapIdler&) = delete;
    TImapIdler& operator=(const TImapIdler&) = delete;

    // Other delays between attempts (tests); before Start().
    void SetRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds most);
    std::chrono::milliseconds RenewAfter() const { return FRenewAfter; }
    std::chrono::seconds KeepAlive() const { return FKeepAlive; }

    // Starts the thread; once only.
    void Start();
    void ReconnectNow();
    void Stop();

private:
    void Run();
    void Session(bool& reconnection, bool& idled);
    void Report(TState state, const std::string& error = {},
                std::chrono::milliseconds delay = std::chrono::milliseconds(0));
    bool Stopping();
    // Takes a pending ReconnectNow request.
    bool TakeReconnectRequest();

    const TImapAccount FAccount;
    const TNewsEvent FOnNews;
    const TStateEvent FOnState;
    std::chrono::milliseconds FRenewAfter;
    std::chrono::seconds FKeepAlive;
    std::chrono::milliseconds FFirstDelay = FirstRetryDelay;
    std::chrono::milliseconds FMostDelay = MaxRetryDelay;

    TImapClient FClient;
    std::thread FThread;
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FStopping = false;
    bool FReconnect = false;
    bool FFinished = false;
    bool FUnsupported = false;
};
