#pragma once
// TMailPush: the push connection of the IMAP account, for the main window; window thread only.
//
// With Configure(Push, account) it keeps one TImapIdler idling on the folder (restarted when the
// account changes, stopped by Configure(None) or Configure(Interval) and by the destructor,
// which never waits long: the idler's Stop closes its socket). What the idler reports on its own
// thread is queued and carried to the window thread through a pipe that the event loop watches,
// as the mail-check worker's hand-off is, so no framework object crosses the threads.
//  - When a new push connection first idles (mail may have come while nothing watched), and
//    with news, a check is wanted (CheckWanted), once for a burst: when the news has been quiet
//    for QuietWindow, at most MostWait after the first. News while a check runs (CheckStarting
//    .. CheckEnded) asks for one more check right after it.
//  - The states say which way new mail is found, each change once (Status): push in force, the
//    server without push (checks at the interval), or, after a failure, when the connection is
//    tried again. A connection attempt that takes longer than the connect limit (a server that
//    greets and then says nothing) is started again.
//  - Resume from suspend and a network that comes up (TNetworkWatcher, made at the first push)
//    make the idler connect again at once; its new session reports news, and so a check follows.
// Scheduled checks stay as the safety net, but SkipScheduledCheck() is true while the push
// connection has been idling without a break since a check that ran to its end, nothing was
// reported since, and that check is less than CoverageLifetime old: such a check would find
// nothing that push has not already reported. The lifetime bounds what a connection that the
// server keeps open but no longer serves (which neither keep-alive nor an error reveals) can
// hide: one check in half an hour. Nothing here runs a timer while nothing happens.
#include "imap/ImapIdler.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;
class TNetworkWatcher;

// How new mail of the account is found.
enum class TMailWatch {
    None,     // not by this class: POP3, checking off, or closing
    Interval, // IMAP with push switched off: checks at the interval
    Push      // IMAP with push: a connection idles on the folder
};

inline constexpr const char* PushOnText = "Push is on: new mail is announced as soon as it arrives";
inline constexpr const char* PushUnsupportedText =
    "The server does not offer push: e-mail is checked at the interval";
inline constexpr const char* PushOffText = "Push is off: e-mail is checked at the interval";
// "No push connection (Reason); will try again at HH:MM" (local time); the reason is made one
// line of display text.
QString PushRetryText(const std::string& reason, std::chrono::system_clock::time_point at);

class TMailPush : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds QuietWindow{25};
    static constexpr std::chrono::milliseconds MostWait{250};
    static constexpr std::chrono::minutes CoverageLifetime{30};

    explicit TMailPush(QObject* parent = nullptr);
    ~TMailPush() override;

    // What to watch and, for Push, the account. The same again changes nothing.
    void Configure(TMailWatch watch, const TImapAccount& account = {});
    // How long a connection attempt may take (the server time-out).
    void SetConnectLimit(std::chrono::milliseconds limit) { FConnectLimit = limit; }
    // Every check, whoever started it.
    void CheckStarting();
    void CheckEnded(bool completed);
    bool SkipScheduledCheck() const;
    TImapIdler::TState State() const { return FState; }

signals:
    void CheckWanted();
    void Status(const QString& text);
    // Lines for the debug log ("DEBUG: ...").
    void Debug(const QString& text);

private:
    struct TEvent {
        bool News = false;
        TImapIdler::TStatus Status;
    };
    enum class TShown { Nothing, Push, Unsupported, Off, Retry };

    void Queue(TEvent event);
    void OnWake();
    void OnNews();
    void OnState(const TImapIdler::TStatus& status);
    void WantCheck();
    void ConnectionMayBeBack();
    void StopIdler();
    void Show(TShown shown, const QString& text);

    TMailWatch FWatch = TMailWatch::None;
    TImapAccount FAccount;
    std::unique_ptr<TImapIdler> FIdler;
    TNetworkWatcher* FNetwork = nullptr;
    TImapIdler::TState FState = TImapIdler::TState::Stopped;
    TShown FShown = TShown::Nothing;
    bool FIdledOnce = false;
    std::chrono::milliseconds FConnectLimit{60000};

    // Whether a scheduled check may be skipped (see above).
    bool FCheckRunning = false;
    bool FIdlingSinceCheckStart = false;
    unsigned FNews = 0;
    unsigned FNewsAtCheckStart = 0;
    bool FCovered = false;
    std::chrono::steady_clock::time_point FCoveredSince;
    bool FAgainAfterCheck = false;
    std::chrono::steady_clock::time_point FFirstNews;
    QTimer* FQuiet = nullptr;
    QTimer* FConnectWatch = nullptr;

    // The idler's thread queues, the window thread takes.
    std::mutex FLock;
    std::vector<TEvent> FEvents;
    int FWakePipe[2] = {-1, -1};
    QSocketNotifier* FWakeNotifier = nullptr;
};
