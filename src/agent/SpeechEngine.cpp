#include "agent/SpeechEngine.h"

#include "agent/AudioSink.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <espeak-ng/speak_lib.h>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace {

struct TJob {
    quint64 Ticket = 0;
    QByteArray Ssml;
    TSpeechSettings Settings;
    TSpeechEngine::TListener Listener;
    std::shared_ptr<std::atomic<bool>> Cancelled = std::make_shared<std::atomic<bool>>(false);
};

void Emit(const TJob& job, TSpeechEvent event) {
    event.Ticket = job.Ticket;
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
            Emit(*u->Job, {TSpeechEvent::TKind::Started});
        }
    };
    if (count > 0)
        startOnce();
    for (espeak_EVENT* e = events; e != nullptr && e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        if (e->type == espeakEVENT_WORD) {
            startOnce();
            TSpeechEvent word{TSpeechEvent::TKind::Word};
            word.AudioMs = e->audio_position;
            word.TextPosition = e->text_position;
            word.Length = e->length;
            Emit(*u->Job, word);
        }
    }
    if (count > 0 && samples != nullptr)
        u->Sink->Write(samples, count, *u->Job->Cancelled);
    return u->Job->Cancelled->load() ? 1 : 0;
}

} // namespace

struct TSpeechEngine::TImpl {
    std::mutex Mutex;
    std::condition_variable Wake;
    std::deque<TJob> Queue;
    std::shared_ptr<std::atomic<bool>> CurrentCancelled;
    quint64 CurrentTicket = 0;
    quint64 NextTicket = 0;
    bool Stopping = false;
    bool DeviceNoticeGiven = false;
    int SampleRate = 22050;
    std::promise<QStringList> VoiceList;
    std::shared_future<QStringList> VoicesKnown = VoiceList.get_future().share();
    std::thread Thread;

    void Run() {
        const int rate =
            espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 50, nullptr, espeakINITIALIZE_DONT_EXIT);
        const bool ready = rate > 0;
        if (ready) {
            SampleRate = rate;
            espeak_SetSynthCallback(SynthCallback);
        }
        // Listed once, up front, so asking for them never waits behind speech.
        VoiceList.set_value(ready ? ListVoices() : QStringList());
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
            Emit(job, {TSpeechEvent::TKind::DeviceMissing});
        }
        if (ready) {
            const QByteArray voice = job.Settings.Voice.toUtf8();
            if (espeak_SetVoiceByName(voice.constData()) != EE_OK)
                espeak_SetVoiceByName("en");
            espeak_SetParameter(espeakRATE, job.Settings.Rate, 0);
            espeak_SetParameter(espeakPITCH, job.Settings.Pitch, 0);
            espeak_SetParameter(espeakVOLUME, job.Settings.Volume, 0);
            TUtterance u{&job, sink.Sink.get(), false};
            CurrentUtterance = &u;
            espeak_Synth(job.Ssml.constData(), size_t(job.Ssml.size()) + 1, 0, POS_CHARACTER, 0,
                         espeakCHARS_UTF8 | espeakSSML, nullptr, nullptr);
            CurrentUtterance = nullptr;
            if (!u.Started)
                Emit(job, {TSpeechEvent::TKind::Started});
        } else {
            Emit(job, {TSpeechEvent::TKind::Started});
        }
        sink.Sink->Finish(*job.Cancelled);
        sink.Sink.reset(); // closes the device before the next request begins
        Emit(job, {TSpeechEvent::TKind::Finished});
    }

    static QStringList ListVoices() {
        QStringList voices;
        for (const espeak_VOICE** v = espeak_ListVoices(nullptr); v && *v; ++v) {
            // `languages` is a list of (priority byte, name, NUL); the first name
            // is what espeak_SetVoiceByName accepts.
            const char* languages = (*v)->languages;
            if (languages == nullptr || languages[0] == 0)
                continue;
            voices << QString::fromUtf8(languages + 1) + '\t' + QString::fromUtf8((*v)->name);
        }
        voices.sort();
        return voices;
    }
};

TSpeechEngine& TSpeechEngine::Instance() {
    static TSpeechEngine engine;
    return engine;
}

TSpeechEngine::TSpeechEngine() : D(new TImpl) {
    D->Thread = std::thread([this] { D->Run(); });
}

TSpeechEngine::~TSpeechEngine() {
    {
        std::lock_guard lock(D->Mutex);
        D->Stopping = true;
        D->Queue.clear();
        if (D->CurrentCancelled)
            D->CurrentCancelled->store(true);
    }
    D->Wake.notify_all();
    D->Thread.join();
    delete D;
}

quint64 TSpeechEngine::Speak(const QString& ssml, const TSpeechSettings& settings,
                             TListener listener) {
    TJob job;
    job.Ssml = ssml.toUtf8();
    job.Settings = settings;
    job.Listener = std::move(listener);
    std::lock_guard lock(D->Mutex);
    job.Ticket = ++D->NextTicket;
    const quint64 ticket = job.Ticket;
    D->Queue.push_back(std::move(job));
    D->Wake.notify_all();
    return ticket;
}

void TSpeechEngine::Cancel(quint64 ticket) {
    std::lock_guard lock(D->Mutex);
    if (D->CurrentTicket == ticket && D->CurrentCancelled)
        D->CurrentCancelled->store(true);
    for (auto it = D->Queue.begin(); it != D->Queue.end(); ++it) {
        if (it->Ticket == ticket) {
            D->Queue.erase(it);
            break;
        }
    }
}

QStringList TSpeechEngine::Voices() {
    return D->VoicesKnown.get();
}
