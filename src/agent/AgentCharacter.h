#pragma once
// One loaded character: its window, its balloon and its request queue.
//
// MoveTo, Show, GestureAt, Speak and Hide return at once; the requests wait in
// this character's queue and are carried out one after another on the window
// thread, each when the one before has ended (a Speak ends when its last
// sample has been heard, so a Hide queued behind it waits for the voice).
// StopAll drops the current request and the queued ones. Every request carried
// out is written to the request log (AgentLog.h); a Speak also logs what the
// balloon shows and what the voice says, a Think what the balloon shows.
//
// After its character has been unloaded the object stays valid, but every
// call throws EAgentError. Window thread only.
#include "agent/CharacterFile.h"
#include "agent/SpeechMarkup.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <QVariant>
#include <deque>
#include <memory>
#include <optional>

struct TAgentOptions;
class TBalloonWindow;
class TCharacterWindow;
struct TSpeechEvent;

// The character's command list (the entries a user could pick from a menu of
// the character). The program only counts and empties it.
class TAgentCommands {
public:
    int Count() const { return int(FNames.size()); }
    void Add(const QString& name) { FNames << name; }
    void RemoveAll() { FNames.clear(); }

private:
    QStringList FNames;
};

// What a character needs of the control that has loaded it (TAgentControl): its options, a
// place for status remarks, and where a double-click goes.
class ICharacterOwner {
public:
    virtual const TAgentOptions& Options() const = 0;
    virtual void ReportStatus(const QString& text) = 0;
    virtual void CharacterDblClick(const QString& characterId, int button, int shift, int x,
                                   int y) = 0;

protected:
    ~ICharacterOwner() = default;
};

class TAgentCharacter : public QObject {
    Q_OBJECT
public:
    TAgentCharacter(const QString& characterId, const TCharacterFile& file, ICharacterOwner& owner);
    ~TAgentCharacter() override;

    QString CharacterID() const { return FId; }
    qint16 Width() const;
    qint16 Height() const;
    bool Visible() const;

    // `speed` is the length of the walk in milliseconds; 0 or 1 jumps.
    void MoveTo(qint16 x, qint16 y, int speed = 1000);
    void Show(bool fast = false);
    void GestureAt(qint16 x, qint16 y);
    void Speak(const QString& text, const QString& url = QString());
    // The text in the balloon without the voice, all of it at once (markup
    // resolved as for Speak, clock times left as written), for about as long
    // as the voice would take to say it; then the balloon lingers as after a
    // Speak. A character that is hidden when the request comes to run, or
    // whose balloon is switched off, shows nothing and the request ends at
    // once. The speech engine is not loaded for it.
    void Think(const QString& text);
    void Hide(bool fast = false);
    // Empty or invalid: every kind. Otherwise a comma-separated list of
    // "Move", "Play" (show, hide, gesture) and "Speak" (with Think); "Get" is accepted
    // and has nothing to stop.
    void StopAll(const QVariant& types = QVariant());
    TAgentCommands& Commands();
    int LanguageID() const;
    void SetLanguageID(int languageId);

    // For the component and its tests.
    int PendingRequests() const;
    QString BalloonText() const;
    bool BalloonVisible() const;
    // The size of this character's balloon for the longest text.
    QSize BalloonLargestSize() const;
    TCharacterWindow& Window() { return *FWindow; }
    // Timers of the character and its window that are running now.
    int ActiveTimers() const;
    // Silences and hides the character for good; every later call throws.
    void Release();

signals:
    // The queue has run empty.
    void Idle();
    // The voice of a Speak has begun to be heard (its first samples went out).
    void SpeechStarted();

private:
    enum class TKind { Move, Show, Gesture, Speak, Think, Hide };
    struct TRequest {
        TKind Kind = TKind::Move;
        int X = 0, Y = 0, Speed = 0;
        bool Fast = false;
        QString Text;
    };

    static TRequest MakeRequest(TKind kind, int x = 0, int y = 0, int speed = 0, bool fast = false,
                                const QString& text = QString());
    void CheckLoaded() const;
    void StopRequests(const QVariant& types);
    void Enqueue(TRequest request);
    void SchedulePump();
    void Pump();
    void Start(const TRequest& request);
    void Complete(quint64 serial);
    void StartSpeaking(const TRequest& request);
    void StartThinking(const TRequest& request);
    void OnSpeechEvent(quint64 ticket, const TSpeechEvent& event);
    void RevealDueWords();
    void EndBalloon();

    QString FId;
    TCharacterFile FFile;
    ICharacterOwner& FOwner;
    std::unique_ptr<TCharacterWindow> FWindow;
    std::unique_ptr<TBalloonWindow> FBalloon;
    TAgentCommands FCommands;
    int FLanguageId = 1033;
    bool FUnloaded = false;
    bool FVisible = false;

    std::deque<TRequest> FQueue;
    std::optional<TRequest> FCurrent;
    quint64 FSerial = 0;
    bool FPumpScheduled = false;

    // The utterance being spoken.
    struct TReceiver;
    std::shared_ptr<TReceiver> FReceiver;
    quint64 FTicket = 0;
    TSpeechMarkup FMarkup;
    QElapsedTimer FSpeechClock;
    std::deque<std::pair<int, int>> FDueWords; // (ms into the utterance, reveal up to)
    QTimer FWordTimer;
    QTimer FMarkWaitTimer;
    QTimer FLingerTimer;
    QTimer FThinkTimer;
};
