#pragma once
// The one owner of the speech synthesiser (espeak-ng) in the process.
//
// espeak-ng is not safe to call from two threads, so every call into it is
// made on a single speech thread that this class starts on first use and joins
// at process exit. Callers on any thread queue utterances; the synthesised
// samples go to the sink chosen by TALVORO_AUDIO (see AudioSink.h) and the
// progress is reported to the utterance's listener, on the speech thread.
// Utterances are spoken one after another in the order they were queued.
// Nothing here throws; a voice that cannot be set falls back to "en".
#include <QString>
#include <QStringList>
#include <functional>

struct TSpeechSettings {
    QString Voice = QStringLiteral("en-us");
    int Rate = 165;   // words per minute
    int Pitch = 50;   // 0..100
    int Volume = 100; // 0..200, 100 is the engine's normal level
};

struct TSpeechEvent {
    enum class TKind {
        Started,       // the first samples are about to be heard
        Word,          // a word begins at AudioMs into the utterance
        Finished,      // the last sample has been heard (or the utterance was cancelled)
        DeviceMissing, // no sound device: speaking silently; sent once per process
    };
    TKind Kind = TKind::Started;
    quint64 Ticket = 0;   // the utterance this is about, as Speak returned it
    int AudioMs = 0;      // Word: offset of the word from the start of the utterance
    int TextPosition = 0; // Word: 1-based code point index into the SSML
    int Length = 0;       // Word: length in code points
};

class TSpeechEngine {
public:
    using TListener = std::function<void(const TSpeechEvent&)>;

    static TSpeechEngine& Instance();

    // Queues an SSML document; returns its ticket for Cancel.
    quint64 Speak(const QString& ssml, const TSpeechSettings& settings, TListener listener);
    // Drops a queued utterance or cuts off the one being spoken. Its listener
    // still gets Finished when it was already started.
    void Cancel(quint64 ticket);
    // The voices espeak-ng offers, as "language-id<TAB>description", sorted;
    // waits only for the engine to have started.
    QStringList Voices();

    ~TSpeechEngine();
    TSpeechEngine(const TSpeechEngine&) = delete;
    TSpeechEngine& operator=(const TSpeechEngine&) = delete;

private:
    TSpeechEngine();
    struct TImpl;
    TImpl* D;
};
