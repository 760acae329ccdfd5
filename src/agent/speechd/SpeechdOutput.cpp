// The desktop speech service: speech-dispatcher, reached through libspeechd,
// speaking with the voice, rate and pitch the user chose for the desktop
// (screen readers use the same service). A program module, so that libspeechd
// is mapped only once the user has chosen this voice and a sentence is due.
//
// One worker thread connects (libspeechd starts the user's service when it is
// not running yet, as screen readers do), hands each utterance over as SSML at
// "message" priority (heard after more urgent speech, never cut off by
// ordinary screen reader text), and turns the service's notifications into
// events. The service tells nothing when it dies or a module hangs, so the
// worker watches the connection while it waits, and gives up on an utterance
// that has not begun within StartLimit or not ended within a limit that grows
// with its length. Release closes the connection and ends the thread until the
// next utterance.
//
// A service whose output module hangs (no sound device) also stops answering
// commands, and libspeechd waits for an answer without end: the worker can be
// held in a call for good. Nothing waits for it: the caller gives up on the
// utterance by itself (SpeechEngine.cpp), and the worker's state is shared
// with its thread, so the engine can be destroyed (at exit) while the worker
// is still held; the thread is then left behind and ends with the process.
#include "agent/SpeechOutput.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <libspeechd.h>
#include <memory>
#include <mutex>
#include <optional>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <thread>

namespace {

using TKind = TSpeechOutputEvent::TKind;
using TClock = std::chrono::steady_clock;

constexpr auto StartLimit = std::chrono::seconds(10);

// libspeechd's reason for a failed connection, made short: "Error: Can't connect to unix socket
// PATH: No such file or directory. Autospawn: Autospawn failed. ..." becomes "Can't connect to
// unix socket PATH: No such file or directory"; the start attempt adds nothing the user can act
// on.
std::string ConnectFailure(const char* error) {
    std::string text = error != nullptr ? error : "";
    if (text.rfind("Error: ", 0) == 0)
        text.erase(0, 7);
    if (const auto at = text.find(" Autospawn:"); at != std::string::npos)
        text.erase(at);
    while (!text.empty() && (text.back() == '.' || text.back() == ' ' || text.back() == '\n'))
        text.pop_back();
    return text.empty() ? "no connection" : text;
}
constexpr auto CancelLimit = std::chrono::seconds(2);
constexpr auto HangUpCheck = std::chrono::milliseconds(250);
// How long destroying the engine waits for a worker to close its connection.
constexpr auto ExitLimit = std::chrono::milliseconds(500);

struct TJob {
    std::uint64_t Ticket = 0;
    std::string Ssml;
    TSpeechOutputListener Listener;
    bool Cancelled = false;
    bool Ended = false; // Finished or Failed has been sent; worker thread only
};

// A notification from the service, as libspeechd's own thread reports it.
struct TNotice {
    std::size_t MessageId = 0;
    SPDNotificationType Type = SPD_EVENT_BEGIN;
    std::string Mark;
};

// Everything the worker thread uses. The thread holds it too, so it outlives
// an engine destroyed while the worker is held up in libspeechd.
class TWorker {
public:
    ~TWorker();

    std::mutex Mutex;
    std::condition_variable Wake;
    std::condition_variable Ended; // Running went false, or an event was delivered
    std::deque<std::shared_ptr<TJob>> Queue;
    std::shared_ptr<TJob> Current;
    std::deque<TNotice> Notices;
    std::uint64_t NextTicket = 0;
    bool Stopping = false;
    bool ReleaseAsked = false;
    bool Running = false;
    int Delivering = 0; // listeners being called right now

    void Notice(std::size_t messageId, SPDNotificationType type, const char* mark) {
        std::lock_guard lock(Mutex);
        Notices.push_back({messageId, type, mark != nullptr ? mark : ""});
        Wake.notify_all();
    }

    void Run() {
        // A write to a service that has gone away must fail, not raise SIGPIPE
        // and end the program; libspeechd's own thread inherits this mask.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        for (;;) {
            std::shared_ptr<TJob> job;
            {
                std::unique_lock lock(Mutex);
                Wake.wait(lock, [this] { return Stopping || ReleaseAsked || !Queue.empty(); });
                if (!Stopping && !Queue.empty()) {
                    job = Queue.front();
                    Queue.pop_front();
                    Current = job;
                }
            }
            if (job) {
                if (!Cancelled(*job))
                    Say(*job);
                // Every utterance ends with an event, a cancelled one too: that
                // is how the caller learns that the service has let go of it.
                if (!job->Ended)
                    Emit(*job, TKind::Finished);
                std::lock_guard lock(Mutex);
                Current.reset();
                continue;
            }
            // Stopping, or released while idle: the connection goes, then the thread.
            Disconnect();
            std::lock_guard lock(Mutex);
            if (!Stopping && !Queue.empty())
                continue; // a sentence came while the connection was closing
            Running = false;
            Ended.notify_all();
            return;
        }
    }

private:
    bool Cancelled(const TJob& job) {
        std::lock_guard lock(Mutex);
        return job.Cancelled || Stopping;
    }

    void Say(TJob& job) {
        std::string failure;
        int messageId = -1;
        // A connection that the service has dropped since the last utterance
        // fails at the first command; one new connection is tried then.
        for (int attempt = 0; attempt < 2 && messageId < 0; ++attempt) {
            if (!Connect(failure))
                break;
            {
                std::lock_guard lock(Mutex);
                Notices.clear();
            }
            // Connecting may have taken long enough for the caller to give up.
            if (Cancelled(job))
                return;
            messageId = spd_say(Connection, SPD_MESSAGE, job.Ssml.c_str());
            if (messageId < 0) {
                failure = "the service did not take the text";
                Disconnect();
            }
        }
        if (messageId < 0) {
            Emit(job, TKind::Failed, failure);
            return;
        }
        Follow(job, std::size_t(messageId));
    }

    // Waits for the utterance's notifications and passes them on.
    void Follow(TJob& job, std::size_t messageId) {
        const auto endLimit = std::chrono::seconds(30) +
                              std::chrono::milliseconds(200) * std::int64_t(job.Ssml.size());
        TClock::time_point deadline = TClock::now() + StartLimit;
        bool started = false;
        std::optional<TClock::time_point> cancelDeadline;
        for (;;) {
            std::deque<TNotice> notices;
            bool cancelled = false;
            {
                std::unique_lock lock(Mutex);
                const TClock::time_point until = std::min(
                    {cancelDeadline.value_or(deadline), deadline, TClock::now() + HangUpCheck});
                Wake.wait_until(lock, until, [&] {
                    return !Notices.empty() || ((job.Cancelled || Stopping) && !cancelDeadline);
                });
                notices.swap(Notices);
                cancelled = job.Cancelled || Stopping;
            }
            for (const TNotice& n : notices) {
                if (n.MessageId != messageId)
                    continue; // from an utterance given up earlier
                switch (n.Type) {
                case SPD_EVENT_BEGIN:
                    if (!started && !cancelled) {
                        started = true;
                        deadline = TClock::now() + endLimit;
                        Emit(job, TKind::Started);
                    }
                    break;
                case SPD_EVENT_INDEX_MARK:
                    if (started && !cancelled)
                        Emit(job, TKind::Mark, n.Mark);
                    break;
                case SPD_EVENT_END:
                case SPD_EVENT_CANCEL:
                    Emit(job, TKind::Finished);
                    return;
                default:
                    break;
                }
            }
            if (cancelled && !cancelDeadline) {
                spd_cancel(Connection);
                cancelDeadline = TClock::now() + CancelLimit;
            }
            if (HungUp()) {
                Disconnect();
                if (cancelled)
                    Emit(job, TKind::Finished);
                else
                    Emit(job, TKind::Failed, "the service went away");
                return;
            }
            const TClock::time_point now = TClock::now();
            if (cancelDeadline && now >= *cancelDeadline) {
                // The service never confirmed the stop: start afresh next time.
                Disconnect();
                Emit(job, TKind::Finished);
                return;
            }
            if (!cancelDeadline && now >= deadline) {
                spd_cancel(Connection);
                Disconnect();
                Emit(job, TKind::Failed,
                     started ? "the service stopped answering in the middle of a sentence"
                             : "the service did not begin to speak");
                return;
            }
        }
    }

    bool Connect(std::string& failure) {
        if (Connection != nullptr)
            return true;
        char* error = nullptr;
        // libspeechd starts the user's service when it is not running, as
        // screen readers have it do; a running one is connected to without
        // that (the start runs a program, every time it is asked to).
        Connection = spd_open2("talvoro", "speech", nullptr, SPD_MODE_THREADED, nullptr, 0, &error);
        if (Connection == nullptr) {
            std::free(error);
            error = nullptr;
            Connection =
                spd_open2("talvoro", "speech", nullptr, SPD_MODE_THREADED, nullptr, 1, &error);
        }
        if (Connection == nullptr) {
            failure = ConnectFailure(error);
            std::free(error);
            return false;
        }
        std::free(error);
        Connection->callback_begin = OnNotice;
        Connection->callback_end = OnNotice;
        Connection->callback_cancel = OnNotice;
        Connection->callback_im = OnIndexMark;
        if (spd_set_data_mode(Connection, SPD_DATA_SSML) != 0 ||
            spd_set_notification_on(Connection, SPD_BEGIN) != 0 ||
            spd_set_notification_on(Connection, SPD_END) != 0 ||
            spd_set_notification_on(Connection, SPD_CANCEL) != 0 ||
            spd_set_notification_on(Connection, SPD_INDEX_MARKS) != 0) {
            failure = "the service refused the settings for a client";
            Disconnect();
            return false;
        }
        return true;
    }

    // Whether the service has closed the connection. libspeechd reports no
    // such thing, so its socket is looked at directly.
    bool HungUp() const {
        pollfd look{Connection->socket, POLLRDHUP, 0};
        return poll(&look, 1, 0) != 0 &&
               (look.revents & (POLLRDHUP | POLLHUP | POLLERR | POLLNVAL));
    }

    void Disconnect() {
        if (Connection != nullptr)
            spd_close(Connection);
        Connection = nullptr;
    }

    // Once the engine is being destroyed nothing more is delivered: its
    // listeners belong to a caller that is going away.
    void Emit(TJob& job, TKind kind, const std::string& text = std::string()) {
        if (kind == TKind::Finished || kind == TKind::Failed)
            job.Ended = true;
        {
            std::lock_guard lock(Mutex);
            if (Stopping)
                return;
            ++Delivering;
        }
        TSpeechOutputEvent event;
        event.Kind = kind;
        event.Text = text;
        job.Listener(event);
        std::lock_guard lock(Mutex);
        --Delivering;
        Ended.notify_all();
    }

    static void OnNotice(std::size_t messageId, std::size_t, SPDNotificationType type);
    static void OnIndexMark(std::size_t messageId, std::size_t, SPDNotificationType type,
                            char* mark);

    SPDConnection* Connection = nullptr; // worker thread only
};

// libspeechd's callbacks carry no context. Set while the worker's state lives.
std::atomic<TWorker*> TheWorker{nullptr};

TWorker::~TWorker() {
    TWorker* self = this;
    TheWorker.compare_exchange_strong(self, nullptr);
}

void TWorker::OnNotice(std::size_t messageId, std::size_t, SPDNotificationType type) {
    if (TWorker* worker = TheWorker.load())
        worker->Notice(messageId, type, nullptr);
}

void TWorker::OnIndexMark(std::size_t messageId, std::size_t, SPDNotificationType type,
                          char* mark) {
    if (TWorker* worker = TheWorker.load())
        worker->Notice(messageId, type, mark);
}

class TSpeechdOutput final : public ISpeechOutput {
public:
    TSpeechdOutput() : Worker(std::make_shared<TWorker>()) { TheWorker = Worker.get(); }

    ~TSpeechdOutput() override {
        std::unique_lock lock(Worker->Mutex);
        Worker->Stopping = true;
        Worker->Queue.clear();
        Worker->Wake.notify_all();
        // A worker that is not held up closes its connection and ends at once.
        const bool ended = Worker->Ended.wait_for(
            lock, ExitLimit, [this] { return !Worker->Running && Worker->Delivering == 0; });
        // One that is held up delivers nothing more once its listener returns.
        Worker->Ended.wait(lock, [this] { return Worker->Delivering == 0; });
        lock.unlock();
        if (Thread.joinable()) {
            if (ended)
                Thread.join();
            else
                Thread.detach(); // it keeps its state, and its callbacks reach it
        }
    }

    std::uint64_t Speak(const TSpeechOutputRequest& request,
                        TSpeechOutputListener listener) override {
        auto job = std::make_shared<TJob>();
        job->Ssml = request.Ssml;
        job->Listener = std::move(listener);
        std::lock_guard lock(Worker->Mutex);
        job->Ticket = ++Worker->NextTicket;
        Worker->Queue.push_back(job);
        Worker->ReleaseAsked = false;
        if (!Worker->Running) {
            // A worker that Release ended has closed its connection and only
            // returns now, so joining it here is quick and takes no lock.
            if (Thread.joinable())
                Thread.join();
            Worker->Running = true;
            Thread = std::thread([worker = Worker] { worker->Run(); });
        }
        Worker->Wake.notify_all();
        return job->Ticket;
    }

    // A queued utterance stays in the queue, marked, so that it still ends with
    // Finished in its turn.
    void Cancel(std::uint64_t ticket) override {
        std::lock_guard lock(Worker->Mutex);
        for (const auto& job : Worker->Queue)
            if (job->Ticket == ticket)
                job->Cancelled = true;
        if (Worker->Current && Worker->Current->Ticket == ticket)
            Worker->Current->Cancelled = true;
        Worker->Wake.notify_all();
    }

    std::vector<std::string> Voices() override { return {}; }

    void Release() override {
        std::lock_guard lock(Worker->Mutex);
        Worker->ReleaseAsked = true;
        Worker->Wake.notify_all();
    }

private:
    std::shared_ptr<TWorker> Worker;
    std::thread Thread;
};

} // namespace

extern "C" __attribute__((visibility("default"))) ISpeechOutput* TalvoroCreateSpeechOutput() {
    try {
        return new TSpeechdOutput;
    } catch (...) {
        return nullptr;
    }
}
