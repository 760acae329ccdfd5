#pragma once
// The character's voice: one of two speech engines, each in a program module
// loaded when the first sentence for it is due (SpeechOutput.h):
//   BuiltIn         espeak-ng in this process, heard through TALVORO_AUDIO's sink
//   DesktopService  speech-dispatcher, with the user's own voice and settings
// The built-in voice is the default, and it speaks instead whenever the
// desktop service is missing or fails; the listener then gets one Status
// event saying so (once, until the service has spoken again). A service that
// keeps a sentence waiting fails too: one that has not begun it within a few
// seconds of its turn, or stops between words for as long, has the sentence
// said by the built-in voice (unless more than its first word was heard), and
// the following sentences too, for a minute and for as long as the service
// still holds the one given up on. Nothing waits for the service meanwhile.
//
// Callers on any thread queue utterances; utterances are spoken one after
// another in the order they were queued. Events come on the engines' own
// threads. Nothing here throws: an engine that cannot be loaded leaves the
// utterance silent and says why in a Status event.
#include <QString>
#include <QStringList>
#include <functional>

struct TSpeechMarkup;

enum class TSpeechVoice { BuiltIn, DesktopService };

struct TSpeechSettings {
    TSpeechVoice Engine = TSpeechVoice::BuiltIn;
    // The built-in voice; the desktop service uses the user's own settings.
    QString Voice = QStringLiteral("en-us");
    int Rate = 165;   // words per minute
    int Pitch = 50;   // 0..100
    int Volume = 100; // 0..200, 100 is the engine's normal level
};

struct TSpeechEvent {
    enum class TKind {
        Started,       // the first samples are about to be heard
        Word,          // a word begins at AudioMs into the utterance (built-in voice)
        Mark,          // the voice reached the mark named Text (desktop service)
        Finished,      // the last sample has been heard (or the utterance was cancelled)
        DeviceMissing, // no sound device: speaking silently; sent once per process
        Status,        // Text is a remark for the status line
    };
    TKind Kind = TKind::Started;
    quint64 Ticket = 0;   // the utterance this is about, as Speak returned it
    int AudioMs = 0;      // Word: offset of the word from the start of the utterance
    int TextPosition = 0; // Word: 1-based code point index into the SSML
    int Length = 0;       // Word: length in code points
    QString Text;         // Mark: its name; Status: the remark
    // Started: whether this utterance reports Mark events (the desktop
    // service) rather than Word events; a service whose output module sends
    // no marks sends neither.
    bool Marks = false;
};

class TSpeechEngine {
public:
    using TListener = std::function<void(const TSpeechEvent&)>;

    static TSpeechEngine& Instance();

    // Queues an utterance; returns its ticket for Cancel. The built-in voice
    // speaks markup.Ssml, the desktop service markup.MarkedSsml.
    quint64 Speak(const TSpeechMarkup& markup, const TSpeechSettings& settings, TListener listener);
    // The same SSML for either engine.
    quint64 Speak(const QString& ssml, const TSpeechSettings& settings, TListener listener);
    // Loads the engine ahead of an utterance that is due, so that it starts
    // while the character is still walking and pointing.
    void Prepare(TSpeechVoice engine);
    // Drops a queued utterance or cuts off the one being spoken. Its listener
    // still gets Finished when it was already started.
    void Cancel(quint64 ticket);
    // The voices the built-in engine offers, as "language-id<TAB>description",
    // sorted. Loads the built-in engine.
    QStringList Voices();
    // Lets go of what speech holds while nothing is being said: the desktop
    // service's connection and thread. The built-in engine stays loaded.
    void Release();

    ~TSpeechEngine();
    TSpeechEngine(const TSpeechEngine&) = delete;
    TSpeechEngine& operator=(const TSpeechEngine&) = delete;

private:
    TSpeechEngine();
    struct TImpl;
    TImpl* D;
};

// The module names of the two engines (for footprint checks).
inline constexpr const char* BuiltInSpeechModule = "talvoro_espeak";
inline constexpr const char* DesktopSpeechModule = "talvoro_speechd";
