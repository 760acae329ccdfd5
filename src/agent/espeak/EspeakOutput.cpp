// The built-in voice: espeak-ng synthesising in this process, heard through
// the sink TALVORO_AUDIO chooses (AudioSink.h). A program module, so that
// espeak-ng and ALSA are mapped only once the first sentence is due.
//
// espeak-ng is not safe to call from two threads, so every call into it is
// made on one speech thread, started with the engine. Once initialised it
// stays so for the rest of the run: espeak-ng 1.51 hangs when it is
// initialised again after espeak_Terminate, and terminating it would free
// only about half a megabyte.
#include "agent/SpeechOutput.h"
#include "agent/espeak/AudioSink.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <espeak-ng/speak_lib.h>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

using TKind = TSpeechOutputEvent::TKind;

struct TJob {
    std::uint64_t Ticket = 0;
    TSpeechOutputRequest Request;
    TSpeechOutputListener Listener;
    std::shared_ptr<std::atomic<bool>> Cancelled = std::make_shared<std::atomic<bool>>(false);
};

void Emit(const TJob& job, TKind kind) {
    TSpeechOutputEvent event;
    event.Kind = kind;
    job.Listener(event);
}

// What the synthesis callback works on; only the speech thread touches it.
struct TUtterance {
    TJob* Job = nullptr;
    IAudioSink* Sink = nullptr;
    bool Started = false;
};
thread_local TUtterance* CurrentUtterance = nullptr;

int SynthCallback(short* samples, int count, espeak_EVENT* events) {
    TUtterance* u = CurrentUtterance;
    if (u == nullptr)
        return 0;
    if (u->Job->Cancelled->load())
        return 1; // tells espeak-ng to abandon the rest of the text
    auto startOnce = [u] {
        if (!u->Started) {
            u->Started = true;
            Emit(*u->Job, TKind::Started);
        }
    };
    if (count > 0)
        startOnce();
    for (espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type == espeakEVENT_WORD) {
            startOnce();
            TSpeechOutputEvent word;
            word.Kind = TKind::Word;
            word.AudioMs = e->audio_position;
            word.TextPosition = e->text_position;
            word.Length = e->length;
            u->Job->Listener(word);
        }
    }
    if (count > 0 && samples != nullptr)
        u->Sink->Write(samples, count, *u->Job->Cancelled);
    return u->Job->Cancelled->load() ? 1 : 0;
}

class TEspeakOutput final : public ISpeechOutput {
public:
    TEspeakOutput() {
        Thread = std::thread([this] { Run(); });
    }

    ~TEspeakOutput() override {
        {
            std::lock_guard lock(Mutex);
            Stopping = true;
            Queue.clear();
            if (CurrentCancelled)
                CurrentCancelled->store(true);
        }
        Wake.notify_all();
        Thread.join();
    }

    std::uint64_t Speak(const TSpeechOutputRequest& request,
                        TSpeechOutputListener listener) override {
        TJob job;
        job.Request = request;
        job.Listener = std::move(listener);
        std::lock_guard lock(Mutex);
        job.Ticket = ++NextTicket;
        const std::uint64_t ticket = job.Ticket;
        Queue.push_back(std::move(job));
        Wake.notify_all();
        return ticket;
    }

    void Cancel(std::uint64_t ticket) override {
        std::lock_guard lock(Mutex);
        if (CurrentTicket == ticket && CurrentCancelled)
            CurrentCancelled->store(true);
        std::erase_if(Queue, [ticket](const TJob& job) { return job.Ticket == ticket; });
    }

    std::vector<std::string> Voices() override { return VoicesKnown.get(); }

    void Release() override {} // see the top of this file

private:
    void Run() {
        const int rate =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT);
        const bool ready = rate > 0;
        if (ready) {
            SampleRate = rate;
            espeak_SetSynthCallback(SynthCallback);
        }
        // Listed once, up front, so asking for them never waits behind speech.
        VoiceList.set_value(ready ? ListVoices() : std::vector<std::string>());
        for (;;) {
            TJob job;
            {
                std::unique_lock lock(Mutex);
                Wake.wait(lock, [this] { return Stopping || !Queue.empty(); });
                if (Stopping)
                    break;
                job = std::move(Queue.front());
                Queue.pop_front();
                CurrentCancelled = job.Cancelled;
                CurrentTicket = job.Ticket;
            }
            if (!job.Cancelled->load())
                Say(job, ready);
            std::lock_guard lock(Mutex);
            CurrentCancelled.reset();
            CurrentTicket = 0;
        }
        if (ready)
            espeak_Terminate();
    }

    void Say(TJob& job, bool ready) {
        TAudioSinkChoice sink = OpenAudioSink(SampleRate);
        if (sink.DeviceMissing && !DeviceNoticeGiven) {
            DeviceNoticeGiven = true;
            Emit(job, TKind::DeviceMissing);
        }
        if (ready) {
            const TSpeechOutputRequest& r = job.Request;
            if (espeak_SetVoiceByName(r.Voice.c_str()) != EE_OK)
                espeak_SetVoiceByName("en");
            espeak_SetParameter(espeakRATE, r.Rate, 0);
            espeak_SetParameter(espeakPITCH, r.Pitch, 0);
            espeak_SetParameter(espeakVOLUME, r.Volume, 0);
            TUtterance u{&job, sink.Sink.get(), false};
            CurrentUtterance = &u;
            espeak_Synth(r.Ssml.c_str(), r.Ssml.size() + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
            CurrentUtterance = nullptr;
            if (!u.Started)
                Emit(job, TKind::Started);
        } else {
            Emit(job, TKind::Started);
        }
        sink.Sink->Finish(*job.Cancelled);
        sink.Sink.reset(); // closes the device before the next request begins
        Emit(job, TKind::Finished);
    }

    static std::vector<std::string> ListVoices() {
        std::vector<std::string> voices;
        for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
            // `languages` is a list of (priority byte, name, NUL); the first name
            // is what espeak_SetVoiceByName accepts.
            const char* languages = (*v)->languages;
            if (languages == nullptr || languages[0] == 0)
                continue;
            voices.push_back(std::string(languages + 1) + '\t' + ((*v)->name ? (*v)->name : ""));
        }
        std::sort(voices.begin(), voices.end());
        return voices;
    }

    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<TJob> Queue;
    std::shared_ptr<std::atomic<bool>> CurrentCancelled;
    std::uint64_t CurrentTicket = 0;
    std::uint64_t NextTicket = 0;
    bool Stopping = false;
    bool DeviceNoticeGiven = false; // speech thread only
    int SampleRate = 22050;
    std::promise<std::vector<std::string>> VoiceList;
    std::shared_future<std::vector<std::string>> VoicesKnown = VoiceList.get_future().share();
    std::thread Thread;
};

} // namespace

extern "C" __attribute__((visibility("default"))) ISpeechOutput* TalvoroCreateSpeechOutput() {
    try {
        return new TEspeakOutput;
    } catch (...) {
        return nullptr; // no thread could be started
    }
}
