#pragma once
// Where synthesised speech goes: the default sound device, a WAV file per
// utterance, or nowhere. Chosen per utterance from TALVORO_AUDIO:
//   unset or "default"  the ALSA default PCM (PulseAudio/PipeWire on desktops);
//                       when there is no device, a silent sink that keeps
//                       real-time pace so the balloon still follows the words
//   "none"              samples are discarded at once (tests)
//   "silent"            nothing is heard, but speech takes its natural time
//   "wav:DIR"           one 16-bit mono WAV file per utterance in DIR
//   CHOICE+wav:DIR      as CHOICE (one of the above, empty for the default),
//                       and a WAV file per utterance in DIR as well
// All of this runs on the speech thread only.
#include <QString>
#include <atomic>
#include <memory>

class IAudioSink {
public:
    virtual ~IAudioSink() = default;
    // Plays or stores a block of 16-bit mono samples; returns early when
    // `cancelled` becomes true.
    virtual void Write(const short* samples, int count, const std::atomic<bool>& cancelled) = 0;
    // Waits until everything written has been heard, unless cancelled.
    virtual void Finish(const std::atomic<bool>& cancelled) = 0;
};

struct TAudioSinkChoice {
    std::unique_ptr<IAudioSink> Sink;
    bool DeviceMissing = false; // the default device was asked for and is absent
};

TAudioSinkChoice OpenAudioSink(int sampleRate);
