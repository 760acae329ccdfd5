#include "agent/espeak/AudioSink.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <alsa/asoundlib.h>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

// Sleeps in short steps so a stop is noticed within a few tens of milliseconds.
void SleepUnlessCancelled(std::chrono::microseconds total, const std::atomic<bool>& cancelled) {
    using namespace std::chrono;
    const auto until = steady_clock::now() + total;
    while (!cancelled.load() && steady_clock::now() < until)
        std::this_thread::sleep_for(
            std::min<steady_clock::duration>(milliseconds(20), until - steady_clock::now()));
}

class TDiscardSink : public IAudioSink {
public:
    void Write(const short*, int, const std::atomic<bool>&) override {}
    void Finish(const std::atomic<bool>&) override {}
};

// Stands in for a device that is not there: nothing is heard, but the words
// take as long as they would, so the balloon and the queue behave the same.
class TPacedSilenceSink : public IAudioSink {
public:
    explicit TPacedSilenceSink(int rate) : Rate(rate), Start(std::chrono::steady_clock::now()) {}
    void Write(const short*, int count, const std::atomic<bool>& cancelled) override {
        Written += count;
        // Stay about a tenth of a second ahead of the imaginary speaker, as a
        // device buffer would.
        const auto due = Start + std::chrono::microseconds(Written * 1000000 / Rate) -
                         std::chrono::milliseconds(100);
        const auto now = std::chrono::steady_clock::now();
        if (due > now)
            SleepUnlessCancelled(std::chrono::duration_cast<std::chrono::microseconds>(due - now),
                                 cancelled);
    }
    void Finish(const std::atomic<bool>& cancelled) override {
        const auto due = Start + std::chrono::microseconds(Written * 1000000 / Rate);
        const auto now = std::chrono::steady_clock::now();
        if (due > now)
            SleepUnlessCancelled(std::chrono::duration_cast<std::chrono::microseconds>(due - now),
                                 cancelled);
    }

private:
    int Rate;
    std::chrono::steady_clock::time_point Start;
    qint64 Written = 0;
};

class TWavSink : public IAudioSink {
public:
    TWavSink(const QString& dir, int rate) : Rate(rate) {
        static std::atomic<int> sequence{0};
        QDir().mkpath(dir);
        File.setFileName(QDir(dir).filePath(
            QStringLiteral("talvoro-%1-%2.wav")
                .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz")))
                .arg(++sequence, 4, 10, QLatin1Char('0'))));
        if (File.open(QIODevice::WriteOnly))
            WriteHeader(0);
    }
    ~TWavSink() override {
        if (File.isOpen()) {
            File.seek(0);
            WriteHeader(DataBytes);
        }
    }
    void Write(const short* samples, int count, const std::atomic<bool>&) override {
        if (!File.isOpen())
            return;
        // WAV is little-endian, as is every machine this runs on.
        File.write(reinterpret_cast<const char*>(samples), qint64(count) * 2);
        DataBytes += quint32(count) * 2;
    }
    void Finish(const std::atomic<bool>&) override { File.flush(); }

private:
    void WriteHeader(quint32 dataBytes) {
        auto u32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
        QByteArray h;
        h += "RIFF" + u32(36 + dataBytes) + "WAVE";
        h += "fmt " + u32(16) + u16(1) + u16(1) + u32(quint32(Rate)) + u32(quint32(Rate) * 2) +
             u16(2) + u16(16);
        h += "data" + u32(dataBytes);
        File.write(h);
    }
    QFile File;
    int Rate;
    quint32 DataBytes = 0;
};

// What one sink hears, the other records.
class TTeeSink : public IAudioSink {
public:
    TTeeSink(std::unique_ptr<IAudioSink> heard, std::unique_ptr<IAudioSink> recorded)
        : Heard(std::move(heard)), Recorded(std::move(recorded)) {}
    void Write(const short* samples, int count, const std::atomic<bool>& cancelled) override {
        Recorded->Write(samples, count, cancelled);
        Heard->Write(samples, count, cancelled);
    }
    void Finish(const std::atomic<bool>& cancelled) override {
        Recorded->Finish(cancelled);
        Heard->Finish(cancelled);
    }

private:
    std::unique_ptr<IAudioSink> Heard;
    std::unique_ptr<IAudioSink> Recorded;
};

void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

class TAlsaSink : public IAudioSink {
public:
    static std::unique_ptr<TAlsaSink> Open(int rate) {
        // alsa-lib reports a missing card on standard error; the component says
        // so once on the status line instead.
        snd_lib_error_set_handler(QuietAlsa);
        snd_pcm_t* pcm = nullptr;
        if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
            return nullptr;
        if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1,
                               unsigned(rate), 1, 100000) < 0) {
            snd_pcm_close(pcm);
            return nullptr;
        }
        return std::unique_ptr<TAlsaSink>(new TAlsaSink(pcm));
    }
    ~TAlsaSink() override { snd_pcm_close(Pcm); }

    void Write(const short* samples, int count, const std::atomic<bool>& cancelled) override {
        while (count > 0 && !cancelled.load()) {
            // Short slices keep a stop responsive while writes block at playback pace.
            const snd_pcm_sframes_t n = snd_pcm_writei(Pcm, samples, std::min(count, 1024));
            if (n == -EPIPE || n == -ESTRPIPE || n == -EINTR) {
                snd_pcm_recover(Pcm, int(n), 1);
                continue;
            }
            if (n < 0)
                return;
            samples += n;
            count -= int(n);
        }
    }
    void Finish(const std::atomic<bool>& cancelled) override {
        // Polled rather than a blocking drain, so a stop cuts the voice off at once.
        if (snd_pcm_state(Pcm) == SND_PCM_STATE_PREPARED)
            snd_pcm_start(Pcm);
        while (!cancelled.load() && snd_pcm_state(Pcm) == SND_PCM_STATE_RUNNING) {
            snd_pcm_sframes_t delay = 0;
            if (snd_pcm_delay(Pcm, &delay) < 0 || delay <= 0)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (cancelled.load())
            snd_pcm_drop(Pcm);
        else
            snd_pcm_drain(Pcm);
    }

private:
    explicit TAlsaSink(snd_pcm_t* pcm) : Pcm(pcm) {}
    snd_pcm_t* Pcm;
};

TAudioSinkChoice OpenSink(const QString& choice, int sampleRate) {
    TAudioSinkChoice result;
    if (const qsizetype copy = choice.indexOf(QStringLiteral("+wav:"), 0, Qt::CaseInsensitive);
        copy >= 0) {
        result = OpenSink(choice.left(copy), sampleRate);
        result.Sink = std::make_unique<TTeeSink>(
            std::move(result.Sink), std::make_unique<TWavSink>(choice.mid(copy + 5), sampleRate));
        return result;
    }
    if (choice.compare(QStringLiteral("none"), Qt::CaseInsensitive) == 0) {
        result.Sink = std::make_unique<TDiscardSink>();
    } else if (choice.compare(QStringLiteral("silent"), Qt::CaseInsensitive) == 0) {
        result.Sink = std::make_unique<TPacedSilenceSink>(sampleRate);
    } else if (choice.startsWith(QStringLiteral("wav:"), Qt::CaseInsensitive)) {
        result.Sink = std::make_unique<TWavSink>(choice.mid(4), sampleRate);
    } else if (auto alsa = TAlsaSink::Open(sampleRate)) {
        result.Sink = std::move(alsa);
    } else {
        result.Sink = std::make_unique<TPacedSilenceSink>(sampleRate);
        result.DeviceMissing = true;
    }
    return result;
}

} // namespace

TAudioSinkChoice OpenAudioSink(int sampleRate) {
    return OpenSink(qEnvironmentVariable("TALVORO_AUDIO").trimmed(), sampleRate);
}
