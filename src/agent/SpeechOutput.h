#pragma once
// The boundary between the character component and a speech engine that lives
// in a program module (platform/ProgramModule.h), loaded when the first
// sentence is due:
//   talvoro_espeak   the built-in voice: espeak-ng in this process, heard
//                    through ALSA (or the sink TALVORO_AUDIO names)
//   talvoro_speechd  the desktop speech service: speech-dispatcher, through
//                    libspeechd, with the voice and settings the user chose
// Each module exports `extern "C" ISpeechOutput* TalvoroCreateSpeechOutput()`,
// which makes the module's one engine (null only when no thread can be
// started) and never throws; the caller deletes it.
//
// Plain C++, standard types only. Every event of one utterance comes on the
// engine's own thread, in order: Started, then Word or Mark events, then
// Finished; or Failed, which ends the utterance (before Started: nothing was
// heard). A cancelled utterance sends nothing more than, at most, Finished.
// The desktop service always sends that Finished, in the order the utterances
// were queued, once it has let go of the utterance: so its caller can tell
// whether the service is still held up by one it gave up on. Listeners must
// not throw and must not call back into the engine.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct TSpeechOutputEvent {
    enum class TKind {
        Started,       // the first samples are about to be heard
        Word,          // a word begins at AudioMs; TextPosition, Length as the SSML counts
        Mark,          // the voice has reached the SSML <mark> named Text
        Finished,      // the end was heard, or the utterance was cancelled
        Failed,        // the engine could not speak it; Text says why
        DeviceMissing, // no sound device: speaking silently (once per process)
    };
    TKind Kind = TKind::Started;
    int AudioMs = 0;
    int TextPosition = 0; // 1-based code point index into the SSML
    int Length = 0;       // in code points
    std::string Text;
};

struct TSpeechOutputRequest {
    std::string Ssml; // a complete <speak> document, UTF-8
    // The character's voice. The desktop service ignores these: the user's
    // own choice of voice, rate and pitch applies there.
    std::string Voice = "en-us";
    int Rate = 165;   // words per minute
    int Pitch = 50;   // 0..100
    int Volume = 100; // 0..200, 100 is the engine's normal level
};

using TSpeechOutputListener = std::function<void(const TSpeechOutputEvent&)>;

class ISpeechOutput {
public:
    virtual ~ISpeechOutput() = default;
    // Queues an utterance; utterances are spoken one after another. Returns at
    // once with the ticket for Cancel.
    virtual std::uint64_t Speak(const TSpeechOutputRequest& request,
                                TSpeechOutputListener listener) = 0;
    // Drops a queued utterance or cuts off the one being spoken.
    virtual void Cancel(std::uint64_t ticket) = 0;
    // "language-id<TAB>description" of each voice, sorted; empty where the
    // engine does not list them.
    virtual std::vector<std::string> Voices() = 0;
    // Lets go of what an idle engine holds (a connection, a thread); the next
    // Speak takes it up again.
    virtual void Release() = 0;
};

extern "C" {
using TCreateSpeechOutput = ISpeechOutput* (*)();
}
inline constexpr const char* CreateSpeechOutputSymbol = "TalvoroCreateSpeechOutput";
