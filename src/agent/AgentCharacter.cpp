#include "agent/AgentCharacter.h"

#include "agent/AgentError.h"
#include "agent/AgentLog.h"
#include "agent/AgentOptions.h"
#include "agent/BalloonWindow.h"
#include "agent/CharacterWindow.h"
#include "agent/SpeechEngine.h"

#include <QLocale>
#include <mutex>

namespace {
// How long the balloon stays up after the last word when nothing follows.
constexpr int BalloonLingerMs = 1500;
// A voice that reports marks reports the first one as it begins; one that
// has sent none by then sends none at all, and the balloon shows everything.
constexpr int FirstMarkWaitMs = 500;
// A balloon without a voice stays up about as long as the voice would speak
// (some 14 characters a second at the usual pace), within bounds.
constexpr int ThinkBaseMs = 1000;
constexpr int ThinkMsPerCharacter = 70;
constexpr int ThinkLongestMs = 20000;
} // namespace

// The speech thread reaches the character only through this: it posts to the
// character while the character exists, and to nobody once it is gone.
struct TAgentCharacter::TReceiver {
    std::mutex Mutex;
    TAgentCharacter* Target = nullptr;

    void Post(quint64 ticket, const TSpeechEvent& event) {
        std::lock_guard lock(Mutex);
        if (Target == nullptr)
            return;
        TAgentCharacter* target = Target;
        QMetaObject::invokeMethod(
            target, [target, ticket, event] { target->OnSpeechEvent(ticket, event); },
            Qt::QueuedConnection);
    }
};

TAgentCharacter::TAgentCharacter(const QString& characterId, const TCharacterFile& file,
                                 ICharacterOwner& owner)
    : FId(characterId), FFile(file), FOwner(owner),
      FWindow(std::make_unique<TCharacterWindow>(file)),
      FBalloon(std::make_unique<TBalloonWindow>(file.Balloon())),
      FReceiver(std::make_shared<TReceiver>()) {
    FReceiver->Target = this;
    FWordTimer.setSingleShot(true);
    connect(&FWordTimer, &QTimer::timeout, this, &TAgentCharacter::RevealDueWords);
    FMarkWaitTimer.setSingleShot(true);
    connect(&FMarkWaitTimer, &QTimer::timeout, this, [this] { FBalloon->RevealAll(); });
    FThinkTimer.setSingleShot(true);
    connect(&FThinkTimer, &QTimer::timeout, this, [this] {
        FLingerTimer.start(BalloonLingerMs);
        Complete(FSerial);
    });
    FLingerTimer.setSingleShot(true);
    connect(&FLingerTimer, &QTimer::timeout, this, [this] {
        FBalloon->hide();
        FWindow->RestArm();
    });
    connect(FWindow.get(), &TCharacterWindow::DoubleClicked, this,
            [this](int button, int shift, QPoint at) {
                FOwner.CharacterDblClick(FId, button, shift, at.x(), at.y());
            });
    connect(FWindow.get(), &TCharacterWindow::Moved, this, [this] {
        if (FBalloon->isVisible())
            FBalloon->Follow(FWindow->geometry());
    });
}

TAgentCharacter::~TAgentCharacter() {
    {
        std::lock_guard lock(FReceiver->Mutex);
        FReceiver->Target = nullptr;
    }
    if (FTicket != 0)
        TSpeechEngine::Instance().Cancel(FTicket);
}

void TAgentCharacter::CheckLoaded() const {
    if (FUnloaded)
        throw EAgentError(QStringLiteral("The character \"%1\" is no longer loaded.").arg(FId));
}

qint16 TAgentCharacter::Width() const {
    CheckLoaded();
    return qint16(FFile.Width());
}

qint16 TAgentCharacter::Height() const {
    CheckLoaded();
    return qint16(FFile.Height());
}

bool TAgentCharacter::Visible() const {
    CheckLoaded();
    return FVisible;
}

void TAgentCharacter::MoveTo(qint16 x, qint16 y, int speed) {
    CheckLoaded();
    Enqueue(MakeRequest(TKind::Move, x, y, speed));
}

void TAgentCharacter::Show(bool fast) {
    CheckLoaded();
    Enqueue(MakeRequest(TKind::Show, 0, 0, 0, fast));
}

void TAgentCharacter::GestureAt(qint16 x, qint16 y) {
    CheckLoaded();
    Enqueue(MakeRequest(TKind::Gesture, x, y));
}

void TAgentCharacter::Speak(const QString& text,
                            const QString& /*url: sound files are not supported*/) {
    CheckLoaded();
    // The first sentence is due: the engine starts up behind the animations
    // that come before it.
    TSpeechEngine::Instance().Prepare(FOwner.Options().Engine);
    Enqueue(MakeRequest(TKind::Speak, 0, 0, 0, false, text));
}

void TAgentCharacter::Think(const QString& text) {
    CheckLoaded();
    Enqueue(MakeRequest(TKind::Think, 0, 0, 0, false, text));
}

void TAgentCharacter::Hide(bool fast) {
    CheckLoaded();
    Enqueue(MakeRequest(TKind::Hide, 0, 0, 0, fast));
}

TAgentCommands& TAgentCharacter::Commands() {
    CheckLoaded();
    return FCommands;
}

int TAgentCharacter::LanguageID() const {
    CheckLoaded();
    return FLanguageId;
}

void TAgentCharacter::SetLanguageID(int languageId) {
    CheckLoaded();
    if (languageId <= 0 || languageId > 0xFFFF)
        throw EAgentError(QStringLiteral("The language %1 is not supported.").arg(languageId));
    FLanguageId = languageId;
}

int TAgentCharacter::PendingRequests() const {
    return int(FQueue.size()) + (FCurrent ? 1 : 0);
}

QString TAgentCharacter::BalloonText() const {
    return FBalloon->ShownText();
}

int TAgentCharacter::ActiveTimers() const {
    return FWindow->ActiveTimers() + FWordTimer.isActive() + FLingerTimer.isActive() +
           FMarkWaitTimer.isActive() + FThinkTimer.isActive();
}

QSize TAgentCharacter::BalloonLargestSize() const {
    return FBalloon->LargestSize();
}

bool TAgentCharacter::BalloonVisible() const {
    return FBalloon->isVisible();
}

TAgentCharacter::TRequest TAgentCharacter::MakeRequest(TKind kind, int x, int y, int speed,
                                                       bool fast, const QString& text) {
    TRequest r;
    r.Kind = kind;
    r.X = x;
    r.Y = y;
    r.Speed = speed;
    r.Fast = fast;
    r.Text = text;
    return r;
}

void TAgentCharacter::Enqueue(TRequest request) {
    FQueue.push_back(std::move(request));
    SchedulePump();
}

void TAgentCharacter::SchedulePump() {
    // Requests start from the event loop, never inside the caller's call, so
    // every request returns at once and none runs re-entrantly.
    if (FPumpScheduled)
        return;
    FPumpScheduled = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FPumpScheduled = false;
            Pump();
        },
        Qt::QueuedConnection);
}

void TAgentCharacter::Pump() {
    if (FCurrent)
        return;
    if (FQueue.empty()) {
        emit Idle();
        return;
    }
    FCurrent = std::move(FQueue.front());
    FQueue.pop_front();
    Start(*FCurrent);
}

void TAgentCharacter::Complete(quint64 serial) {
    if (serial != FSerial || !FCurrent)
        return; // a request that StopAll already dropped
    FCurrent.reset();
    SchedulePump();
}

void TAgentCharacter::Start(const TRequest& r) {
    const quint64 serial = ++FSerial;
    auto done = [this, serial] { Complete(serial); };
    switch (r.Kind) {
    case TKind::Move:
        AppendAgentLog(QStringLiteral("move %1 %2").arg(r.X).arg(r.Y));
        FWindow->MoveAnimated(QPoint(r.X, r.Y), r.Speed, done);
        break;
    case TKind::Show:
        AppendAgentLog(r.Fast ? QStringLiteral("show fast") : QStringLiteral("show"));
        FVisible = true;
        FWindow->ShowAnimated(r.Fast, done);
        break;
    case TKind::Gesture:
        AppendAgentLog(QStringLiteral("gesture %1 %2").arg(r.X).arg(r.Y));
        FLingerTimer.stop();
        FWindow->PointAt(QPoint(r.X, r.Y), done);
        break;
    case TKind::Speak:
        StartSpeaking(r);
        break;
    case TKind::Think:
        StartThinking(r);
        break;
    case TKind::Hide:
        AppendAgentLog(r.Fast ? QStringLiteral("hide fast") : QStringLiteral("hide"));
        EndBalloon();
        FBalloon->hide();
        FWindow->HideAnimated(r.Fast, [this, done] {
            FVisible = false;
            FWindow->RestArm();
            // Nothing more to say for now: speech lets go of what it holds.
            if (FQueue.empty())
                TSpeechEngine::Instance().Release();
            done();
        });
        break;
    }
}

void TAgentCharacter::StartSpeaking(const TRequest& r) {
    FLingerTimer.stop();
    // Clock times are read the way the user's locale writes them (QLocale() is
    // the system locale unless the program chose another).
    FMarkup = TranslateSpeechMarkup(r.Text, TClockStyle::FromLocale(QLocale()));
    AppendAgentLog(QStringLiteral("speak ") + r.Text);
    AppendAgentLog(QStringLiteral("balloon ") + FMarkup.Shown);
    AppendAgentLog(QStringLiteral("voice ") + FMarkup.Spoken);
    FDueWords.clear();
    FWordTimer.stop();
    FMarkWaitTimer.stop();
    if (FVisible && FOwner.Options().Balloon)
        FBalloon->Begin(FMarkup.Shown, FWindow->geometry(), FWindow->ArmAngle());
    else
        FBalloon->hide();
    std::weak_ptr<TReceiver> receiver = FReceiver;
    // The listener runs on a speech thread; it only forwards.
    FTicket = TSpeechEngine::Instance().Speak(FMarkup, FOwner.Options().SpeechFor(FFile.Voice()),
                                              [receiver](const TSpeechEvent& event) {
                                                  if (auto target = receiver.lock())
                                                      target->Post(event.Ticket, event);
                                              });
}

void TAgentCharacter::StartThinking(const TRequest& r) {
    FLingerTimer.stop();
    const TSpeechMarkup markup = TranslateSpeechMarkup(r.Text, TClockStyle::FromLocale(QLocale()));
    AppendAgentLog(QStringLiteral("think ") + r.Text);
    AppendAgentLog(QStringLiteral("balloon ") + markup.Shown);
    if (!FVisible || !FOwner.Options().Balloon) {
        FBalloon->hide();
        Complete(FSerial);
        return;
    }
    FBalloon->Begin(markup.Shown, FWindow->geometry(), FWindow->ArmAngle());
    FBalloon->RevealAll();
    FThinkTimer.start(int(std::min<qsizetype>(
        ThinkLongestMs, ThinkBaseMs + ThinkMsPerCharacter * markup.Shown.size())));
}

void TAgentCharacter::OnSpeechEvent(quint64 ticket, const TSpeechEvent& event) {
    if (event.Kind == TSpeechEvent::TKind::DeviceMissing) {
        FOwner.ReportStatus(
            QStringLiteral("No sound device found: the character speaks without sound."));
        return;
    }
    if (event.Kind == TSpeechEvent::TKind::Status) {
        AppendAgentLog(QStringLiteral("status ") + event.Text);
        FOwner.ReportStatus(event.Text);
        return;
    }
    if (ticket != FTicket || ticket == 0)
        return;
    switch (event.Kind) {
    case TSpeechEvent::TKind::Started:
        FSpeechClock.start();
        FWindow->SetSpeaking(true);
        if (event.Marks)
            FMarkWaitTimer.start(FirstMarkWaitMs);
        emit SpeechStarted();
        break;
    case TSpeechEvent::TKind::Word:
        FDueWords.emplace_back(event.AudioMs, FMarkup.RevealEnd(event.TextPosition, event.Length));
        RevealDueWords();
        break;
    case TSpeechEvent::TKind::Mark:
        // Marks come as the voice reaches them: shown at once.
        FMarkWaitTimer.stop();
        if (const int reveal = FMarkup.RevealAtMark(event.Text); reveal >= 0)
            FBalloon->Reveal(reveal);
        break;
    case TSpeechEvent::TKind::Finished: {
        FTicket = 0;
        FDueWords.clear();
        FWordTimer.stop();
        FMarkWaitTimer.stop();
        FBalloon->RevealAll();
        FWindow->SetSpeaking(false);
        if (FBalloon->isVisible() || FWindow->ArmAngle())
            FLingerTimer.start(BalloonLingerMs);
        const quint64 serial = FSerial;
        Complete(serial);
        break;
    }
    case TSpeechEvent::TKind::DeviceMissing:
    case TSpeechEvent::TKind::Status:
        break;
    }
}

void TAgentCharacter::RevealDueWords() {
    const qint64 now = FSpeechClock.isValid() ? FSpeechClock.elapsed() : 0;
    while (!FDueWords.empty() && FDueWords.front().first <= now + 15) {
        FBalloon->Reveal(FDueWords.front().second);
        FDueWords.pop_front();
    }
    if (!FDueWords.empty())
        FWordTimer.start(int(FDueWords.front().first - now));
}

void TAgentCharacter::EndBalloon() {
    FThinkTimer.stop();
    FDueWords.clear();
    FWordTimer.stop();
    FMarkWaitTimer.stop();
    FLingerTimer.stop();
}

void TAgentCharacter::StopAll(const QVariant& types) {
    CheckLoaded();
    AppendAgentLog(QStringLiteral("stop-all"));
    StopRequests(types);
}

void TAgentCharacter::Release() {
    StopRequests(QVariant());
    EndBalloon();
    FBalloon->hide();
    FWindow->HideAnimated(true, [] {});
    FVisible = false;
    FUnloaded = true;
}

void TAgentCharacter::StopRequests(const QVariant& types) {
    bool move = true, play = true, speak = true;
    const QString list = types.toString().trimmed();
    if (!list.isEmpty()) {
        move = play = speak = false;
        for (const QString& t : list.split(',')) {
            const QString kind = t.trimmed().toLower();
            move |= kind == QLatin1String("move");
            play |= kind == QLatin1String("play");
            speak |= kind == QLatin1String("speak");
        }
    }
    auto matches = [&](TKind k) {
        if (k == TKind::Move)
            return move;
        return k == TKind::Speak || k == TKind::Think ? speak : play;
    };
    std::erase_if(FQueue, [&](const TRequest& r) { return matches(r.Kind); });
    if (!FCurrent || !matches(FCurrent->Kind))
        return;
    const TKind kind = FCurrent->Kind;
    FCurrent.reset();
    ++FSerial; // whatever the dropped request still reports is ignored
    if (kind == TKind::Speak) {
        TSpeechEngine::Instance().Cancel(FTicket);
        FTicket = 0;
        EndBalloon();
        FBalloon->hide();
        FWindow->SetSpeaking(false);
    } else if (kind == TKind::Think) {
        EndBalloon();
        FBalloon->hide();
    } else {
        FWindow->Settle();
        if (kind == TKind::Hide)
            FVisible = false;
    }
    SchedulePump();
}
