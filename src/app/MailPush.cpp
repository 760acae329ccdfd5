#include "app/MailPush.h"

#include "mail/HeaderText.h"
#include "mail/MessageTable.h"
#include "platform/network/NetworkWatcher.h"

#include <QDateTime>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace {

using TState = TImapIdler::TState;

bool SameAccount(const TImapAccount& a, const TImapAccount& b) {
    return a.Host == b.Host && a.Port == b.Port && a.Security == b.Security &&
           a.UserID == b.UserID && a.Password == b.Password &&
           a.TrustedCertificate == b.TrustedCertificate && a.Folder == b.Folder;
}

// The first wait before connecting again after a failure; TALVORO_IMAP_RETRY_SECONDS shortens it
// (tests).
std::chrono::milliseconds FirstRetryDelay() {
    const char* text = std::getenv("TALVORO_IMAP_RETRY_SECONDS");
    char* end = nullptr;
    const long seconds = text != nullptr ? std::strtol(text, &end, 10) : 0;
    if (text == nullptr || end == text || *end != '\0' || seconds <= 0 || seconds > 120)
        return TImapIdler::FirstRetryDelay;
    return std::chrono::seconds(seconds);
}

} // namespace

QString PushRetryText(const std::string& reason, std::chrono::system_clock::time_point at) {
    const qint64 msecs =
        std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count();
    const QString time =
        QDateTime::fromMSecsSinceEpoch(msecs).toLocalTime().toString(QStringLiteral("HH:mm"));
    const std::string said = TMessageTable::CutTo(ServerDisplayText(reason), 300);
    return QStringLiteral("No push connection (") + QString::fromStdString(said) +
           QStringLiteral("); will try again at ") + time;
}

TMailPush::TMailPush(QObject* parent) : QObject(parent) {
    if (::pipe2(FWakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::system_error(errno, std::generic_category(), "Cannot create a pipe");
    FWakeNotifier = new QSocketNotifier(FWakePipe[0], QSocketNotifier::Read, this);
    connect(FWakeNotifier, &QSocketNotifier::activated, this, &TMailPush::OnWake);
    FQuiet = new QTimer(this);
    FQuiet->setSingleShot(true);
    connect(FQuiet, &QTimer::timeout, this, &TMailPush::CheckWanted);
    FConnectWatch = new QTimer(this);
    FConnectWatch->setSingleShot(true);
    connect(FConnectWatch, &QTimer::timeout, this, [this] {
        if (FIdler && FState == TState::Connecting) {
            emit Debug(QStringLiteral("DEBUG: Push: the server did not answer in time, "
                                      "connecting again"));
            FIdler->ReconnectNow();
        }
    });
}

TMailPush::~TMailPush() {
    StopIdler();
    delete FWakeNotifier;
    ::close(FWakePipe[0]);
    ::close(FWakePipe[1]);
}

void TMailPush::Configure(TMailWatch watch, const TImapAccount& account) {
    if (watch == FWatch && (watch != TMailWatch::Push || SameAccount(account, FAccount)))
        return;
    StopIdler();
    FWatch = watch;
    FAccount = watch == TMailWatch::Push ? account : TImapAccount{};
    switch (watch) {
    case TMailWatch::None:
        FShown = TShown::Nothing;
        return;
    case TMailWatch::Interval:
        Show(TShown::Off, QString::fromLatin1(PushOffText));
        return;
    case TMailWatch::Push:
        break;
    }
    if (FNetwork == nullptr) {
        FNetwork = new TNetworkWatcher(this);
        connect(FNetwork, &TNetworkWatcher::ConnectionMayBeBack, this,
                &TMailPush::ConnectionMayBeBack);
    }
    FIdler = std::make_unique<TImapIdler>(
        FAccount,
        [this] {
            Queue({true, {}});
        },
        [this](const TImapIdler::TStatus& status) {
            Queue({false, status});
        });
    const std::chrono::milliseconds first = FirstRetryDelay();
    FIdler->SetRetryDelays(first, std::max(first, TImapIdler::MaxRetryDelay));
    FIdler->Start();
}

// Stopping joins the idler's thread: what it reported before is dropped with it.
void TMailPush::StopIdler() {
    FIdler.reset();
    {
        std::lock_guard Guard(FLock);
        FEvents.clear();
    }
    FState = TState::Stopped;
    FIdledOnce = false;
    FCovered = false;
    FAgainAfterCheck = false;
    FQuiet->stop();
    FConnectWatch->stop();
}

// The idler's thread.
void TMailPush::Queue(TEvent event) {
    {
        std::lock_guard Guard(FLock);
        FEvents.push_back(std::move(event));
    }
    const char Byte = 1;
    // A full pipe already holds a wake-up that is not yet taken.
    while (::write(FWakePipe[1], &Byte, 1) < 0 && errno == EINTR) {
    }
}

void TMailPush::OnWake() {
    char buffer[64];
    while (::read(FWakePipe[0], buffer, sizeof buffer) > 0) {
    }
    std::vector<TEvent> events;
    {
        std::lock_guard Guard(FLock);
        events.swap(FEvents);
    }
    for (const TEvent& event : events) {
        if (event.News)
            OnNews();
        else
            OnState(event.Status);
    }
}

void TMailPush::OnNews() {
    ++FNews;
    FCovered = false;
    emit Debug(QStringLiteral("DEBUG: Push: the server reports a change in the folder"));
    if (FCheckRunning)
        FAgainAfterCheck = true;
    else
        WantCheck();
}

// A burst of news is one check: the wait starts again with each piece of news, but ends at
// MostWait after the first.
void TMailPush::WantCheck() {
    const auto now = std::chrono::steady_clock::now();
    if (!FQuiet->isActive())
        FFirstNews = now;
    else if (now + QuietWindow > FFirstNews + MostWait)
        return;
    FQuiet->start(QuietWindow);
}

void TMailPush::OnState(const TImapIdler::TStatus& status) {
    FState = status.State;
    if (status.State != TState::Idling) {
        FCovered = false;
        FIdlingSinceCheckStart = false;
    }
    if (status.State == TState::Connecting)
        FConnectWatch->start(FConnectLimit);
    else
        FConnectWatch->stop();
    switch (status.State) {
    case TState::Idling:
        emit Debug(QStringLiteral("DEBUG: Push: idling on the folder"));
        Show(TShown::Push, QString::fromLatin1(PushOnText));
        // Mail may have come while nothing watched (before the start, another account): once
        // the first connection idles, a check finds it. Later sessions report news themselves.
        if (!FIdledOnce) {
            FIdledOnce = true;
            if (FCheckRunning)
                FAgainAfterCheck = true;
            else
                WantCheck();
        }
        break;
    case TState::Waiting:
        FShown = TShown::Retry;
        emit Status(PushRetryText(status.Error, status.NextAttempt));
        break;
    case TState::Unsupported:
        Show(TShown::Unsupported, QString::fromLatin1(PushUnsupportedText));
        break;
    case TState::Connecting:
    case TState::Stopped:
        break;
    }
}

void TMailPush::Show(TShown shown, const QString& text) {
    if (FShown == shown)
        return;
    FShown = shown;
    emit Status(text);
}

void TMailPush::ConnectionMayBeBack() {
    if (!FIdler || FState == TState::Unsupported)
        return;
    emit Debug(QStringLiteral("DEBUG: Push: the network may be back, connecting again"));
    FCovered = false;
    FIdler->ReconnectNow();
}

void TMailPush::CheckStarting() {
    FCheckRunning = true;
    FQuiet->stop();
    FNewsAtCheckStart = FNews;
    FIdlingSinceCheckStart = FState == TState::Idling;
}

void TMailPush::CheckEnded(bool completed) {
    FCheckRunning = false;
    FCovered = completed && FIdlingSinceCheckStart && FNewsAtCheckStart == FNews;
    if (FCovered)
        FCoveredSince = std::chrono::steady_clock::now();
    if (FAgainAfterCheck) {
        FAgainAfterCheck = false;
        WantCheck();
    }
}

bool TMailPush::SkipScheduledCheck() const {
    return FWatch == TMailWatch::Push && FCovered && FState == TState::Idling &&
           std::chrono::steady_clock::now() - FCoveredSince < CoverageLifetime;
}
