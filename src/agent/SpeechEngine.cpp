#include "agent/SpeechEngine.h"

#include "agent/SpeechMarkup.h"
#include "agent/SpeechOutput.h"

#include "platform/ProgramModule.h"

#include <QRegularExpression>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using TOutputKind = TSpeechOutputEvent::TKind;
using TSteady = std::chrono::steady_clock;

// A desktop service can take a sentence and never say it (an output module
// without a sound device says it has begun, reaches the first word and hangs).
// So the service must begin a sentence within StartLimit of its turn and then
// move from word to word within StallLimit, plus the pauses the sentence asks
// for; a service that reports no words gets as long as a slow voice needs.
// Otherwise the built-in voice says the sentence, and the later ones too, for
// RetryAfter and for as long as the service still holds the one given up on.
constexpr auto ServiceStartLimit = std::chrono::seconds(5);
constexpr auto ServiceStallLimit = std::chrono::seconds(4);
constexpr auto ServiceTimePerCharacter = std::chrono::milliseconds(200);
constexpr auto ServiceRetryAfter = std::chrono::minutes(1);

// The pauses that a sentence asks for.
std::chrono::milliseconds PauseTime(const QString& ssml) {
    static const QRegularExpression pause(QStringLiteral("<break time=\"([0-9]{1,9})ms\"/>"));
    std::chrono::milliseconds total(0);
    for (const auto& m : pause.globalMatch(ssml))
        total += std::chrono::milliseconds(m.captured(1).toLongLong());
    return total;
}

// A reason from a library or a server, made safe for the one-line status bar.
QString OneLine(const std::string& text) {
    QString line = QString::fromUtf8(text.data(), qsizetype(text.size()));
    for (QChar& c : line) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            c = u' ';
    }
    line = line.simplified();
    if (line.size() > 200)
        line = line.left(199) + QChar(0x2026);
    return line;
}

TSpeechEvent Status(const QString& text) {
    TSpeechEvent event;
    event.Kind = TSpeechEvent::TKind::Status;
    event.Text = text;
    return event;
}

} // namespace

struct TSpeechEngine::TImpl {
    struct TEngine {
        const char* Module = nullptr;
        ISpeechOutput* Output = nullptr;
        bool Tried = false;
        std::string Error;
    };

    struct TUtterance {
        quint64 Ticket = 0;
        TSpeechOutputRequest BuiltInRequest; // also what the fall-back speaks
        TListener Listener;
        ISpeechOutput* Output = nullptr;
        std::uint64_t OutputTicket = 0;
        bool Started = false;
        bool Cancelled = false;
        bool Done = false;
        // With the desktop service: its ticket, the moment by which it must
        // show progress (set when its turn comes), the time the sentence may
        // take without any word reported, the pauses it asks for, and the
        // marks reached (more than one: part of it has been heard).
        std::uint64_t ServiceTicket = 0;
        TSteady::time_point Deadline{};
        TSteady::duration Unmarked{};
        TSteady::duration Pauses{};
        int Marks = 0;
    };
    using TPending = std::vector<TSpeechEvent>;

    std::mutex Mutex;
    TEngine BuiltIn{BuiltInSpeechModule, nullptr, false, {}};
    TEngine Service{DesktopSpeechModule, nullptr, false, {}};
    quint64 NextTicket = 0;
    std::map<quint64, std::shared_ptr<TUtterance>> Live;
    bool ServiceNoticeGiven = false;
    bool BuiltInNoticeGiven = false;

    // Utterances handed to the service, in its order; the first has its turn.
    std::deque<std::shared_ptr<TUtterance>> ServiceLine;
    // Utterances given up on that the service has not let go of yet, by its ticket.
    std::map<std::uint64_t, std::shared_ptr<TUtterance>> ServiceHolds;
    TSteady::time_point ServiceRetryAt{};
    // Watches the service's deadlines; runs while the service has utterances.
    std::thread Watchdog;
    std::condition_variable WatchdogWake;
    bool WatchdogRunning = false;
    bool Stopping = false;

    // Loads the engine's module at its first use. Mutex held.
    static ISpeechOutput* Load(TEngine& engine) {
        if (!engine.Tried) {
            engine.Tried = true;
            try {
                const auto create = platform::ModuleFunction<TCreateSpeechOutput>(
                    engine.Module, CreateSpeechOutputSymbol);
                engine.Output = create();
                if (engine.Output == nullptr)
                    engine.Error = "its thread could not be started";
            } catch (const std::exception& e) {
                engine.Error = e.what();
            }
        }
        return engine.Output;
    }

    // Mutex held.
    void ServiceFailed(const std::string& reason, TPending& pending) {
        if (ServiceNoticeGiven)
            return;
        ServiceNoticeGiven = true;
        // What happens comes before the reason, which may be long: a status bar too narrow for
        // all of it still shows what matters.
        pending.push_back(Status(QStringLiteral("The desktop speech service is not available: "
                                                "the built-in voice speaks instead (%1).")
                                     .arg(OneLine(reason))));
    }

    // Hands the utterance to the built-in voice. Mutex held.
    void SpeakBuiltIn(const std::shared_ptr<TUtterance>& u, TPending& pending) {
        ISpeechOutput* output = Load(BuiltIn);
        if (output == nullptr) {
            if (!BuiltInNoticeGiven) {
                BuiltInNoticeGiven = true;
                pending.push_back(Status(QStringLiteral("The built-in voice could not be loaded: "
                                                        "the character speaks without sound (%1).")
                                             .arg(OneLine(BuiltIn.Error))));
            }
            // Nothing to wait for: the utterance is over at once.
            TSpeechEvent started;
            started.Kind = TSpeechEvent::TKind::Started;
            pending.push_back(started);
            TSpeechEvent finished;
            finished.Kind = TSpeechEvent::TKind::Finished;
            pending.push_back(finished);
            u->Done = true;
            Live.erase(u->Ticket);
            return;
        }
        u->Output = output;
        std::weak_ptr<TUtterance> weak = u;
        u->OutputTicket = output->Speak(
            u->BuiltInRequest, [this, weak](const auto& event) { OnEvent(weak, event, false); });
    }

    // Whether sentences for the service go to the built-in voice for now. Mutex held.
    bool ServiceHeldUp() const { return !ServiceHolds.empty() || TSteady::now() < ServiceRetryAt; }

    // Hands the utterance to the service. Mutex held.
    void SpeakByService(const std::shared_ptr<TUtterance>& u, const TSpeechMarkup& markup) {
        TSpeechOutputRequest request = u->BuiltInRequest;
        request.Ssml = markup.MarkedSsml.toStdString();
        const qsizetype spoken =
            markup.Spoken.isEmpty() ? markup.MarkedSsml.size() : markup.Spoken.size();
        u->Pauses = PauseTime(markup.MarkedSsml);
        u->Unmarked = ServiceStallLimit + u->Pauses + ServiceTimePerCharacter * spoken;
        u->Output = Service.Output;
        std::weak_ptr<TUtterance> weak = u;
        u->OutputTicket = u->ServiceTicket = Service.Output->Speak(
            request, [this, weak](const auto& event) { OnEvent(weak, event, true); });
        ServiceLine.push_back(u);
        NextServiceTurn();
        if (WatchdogRunning)
            return;
        try {
            if (Watchdog.joinable())
                Watchdog.join(); // it has let go of the mutex and only returns now
            Watchdog = std::thread([this] { Watch(); });
            WatchdogRunning = true;
        } catch (const std::system_error&) {
            // No thread: the service's own limits still end a sentence, later.
        }
    }

    // Drops what has left the service's line; the next utterance's turn
    // begins. Mutex held.
    void NextServiceTurn() {
        while (!ServiceLine.empty() &&
               (ServiceLine.front()->Done || ServiceLine.front()->Output != Service.Output))
            ServiceLine.pop_front();
        if (!ServiceLine.empty() && ServiceLine.front()->Deadline == TSteady::time_point()) {
            ServiceLine.front()->Deadline = TSteady::now() + ServiceStartLimit;
            WatchdogWake.notify_all();
        }
    }

    void Watch() {
        std::unique_lock lock(Mutex);
        while (!Stopping) {
            NextServiceTurn();
            if (ServiceLine.empty())
                break;
            const std::shared_ptr<TUtterance> u = ServiceLine.front();
            if (TSteady::now() < u->Deadline) {
                WatchdogWake.wait_until(lock, u->Deadline);
                continue;
            }
            TPending pending;
            GiveUpOnService(u, pending);
            lock.unlock();
            Deliver(*u, pending);
            lock.lock();
        }
        WatchdogRunning = false;
    }

    // The service kept the utterance waiting: the built-in voice says it, unless
    // part of it was heard. Mutex held.
    void GiveUpOnService(const std::shared_ptr<TUtterance>& u, TPending& pending) {
        const bool heardInPart = u->Marks > 1;
        ServiceFailed(heardInPart ? "the service stopped in the middle of a sentence"
                                  : "the service did not begin to speak",
                      pending);
        Service.Output->Cancel(u->ServiceTicket);
        ServiceHolds.emplace(u->ServiceTicket, u);
        ServiceRetryAt = TSteady::now() + ServiceRetryAfter;
        if (!heardInPart && !u->Cancelled) {
            SpeakBuiltIn(u, pending);
        } else {
            u->Done = true;
            Live.erase(u->Ticket);
            if (u->Started) {
                TSpeechEvent finished;
                finished.Kind = TSpeechEvent::TKind::Finished;
                pending.push_back(finished);
            }
        }
        NextServiceTurn();
    }

    void OnEvent(const std::weak_ptr<TUtterance>& weak, const TSpeechOutputEvent& event,
                 bool fromService) {
        const std::shared_ptr<TUtterance> u = weak.lock();
        if (!u)
            return;
        TPending pending;
        {
            std::lock_guard lock(Mutex);
            const bool ends =
                event.Kind == TOutputKind::Finished || event.Kind == TOutputKind::Failed;
            if (fromService && ends)
                ServiceHolds.erase(u->ServiceTicket); // let go of at last
            if (u->Done || (fromService && u->Output != Service.Output))
                return;
            TSpeechEvent out;
            switch (event.Kind) {
            case TOutputKind::Started:
                u->Started = true;
                if (fromService) {
                    u->Deadline = TSteady::now() + u->Unmarked;
                    ServiceNoticeGiven = false; // it answers again: a later failure is news
                }
                out.Kind = TSpeechEvent::TKind::Started;
                out.Marks = fromService;
                pending.push_back(out);
                break;
            case TOutputKind::Word:
                out.Kind = TSpeechEvent::TKind::Word;
                out.AudioMs = event.AudioMs;
                out.TextPosition = event.TextPosition;
                out.Length = event.Length;
                pending.push_back(out);
                break;
            case TOutputKind::Mark:
                if (fromService) {
                    ++u->Marks;
                    u->Deadline = TSteady::now() + ServiceStallLimit + u->Pauses;
                }
                out.Kind = TSpeechEvent::TKind::Mark;
                out.Text = QString::fromStdString(event.Text);
                pending.push_back(out);
                break;
            case TOutputKind::DeviceMissing:
                out.Kind = TSpeechEvent::TKind::DeviceMissing;
                pending.push_back(out);
                break;
            case TOutputKind::Finished:
                if (fromService && !u->Cancelled)
                    ServiceRetryAt = {}; // it speaks again
                u->Done = true;
                Live.erase(u->Ticket);
                out.Kind = TSpeechEvent::TKind::Finished;
                pending.push_back(out);
                break;
            case TOutputKind::Failed:
                if (fromService)
                    ServiceFailed(event.Text, pending);
                // Nothing heard yet, or no more than the first word: say it all.
                if (fromService && u->Marks <= 1 && !u->Cancelled) {
                    SpeakBuiltIn(u, pending);
                } else {
                    u->Done = true;
                    Live.erase(u->Ticket);
                    if (u->Started) {
                        out.Kind = TSpeechEvent::TKind::Finished;
                        pending.push_back(out);
                    }
                }
                break;
            }
            if (fromService)
                NextServiceTurn();
        }
        Deliver(*u, pending);
    }

    static void Deliver(const TUtterance& u, TPending& pending) {
        for (TSpeechEvent& event : pending) {
            event.Ticket = u.Ticket;
            u.Listener(event);
        }
    }
};

TSpeechEngine& TSpeechEngine::Instance() {
    static TSpeechEngine engine;
    return engine;
}

TSpeechEngine::TSpeechEngine() : D(new TImpl) {}

TSpeechEngine::~TSpeechEngine() {
    {
        std::lock_guard lock(D->Mutex);
        D->Stopping = true;
        D->WatchdogWake.notify_all();
    }
    if (D->Watchdog.joinable())
        D->Watchdog.join();
    // The engines' threads end here; their modules stay mapped.
    delete D->Service.Output;
    delete D->BuiltIn.Output;
    delete D;
}

quint64 TSpeechEngine::Speak(const TSpeechMarkup& markup, const TSpeechSettings& settings,
                             TListener listener) {
    auto u = std::make_shared<TImpl::TUtterance>();
    u->Listener = std::move(listener);
    TSpeechOutputRequest& request = u->BuiltInRequest;
    request.Ssml = markup.Ssml.toStdString();
    request.Voice = settings.Voice.toStdString();
    request.Rate = settings.Rate;
    request.Pitch = settings.Pitch;
    request.Volume = settings.Volume;

    TImpl::TPending pending;
    {
        std::lock_guard lock(D->Mutex);
        u->Ticket = ++D->NextTicket;
        D->Live.emplace(u->Ticket, u);
        ISpeechOutput* service = nullptr;
        // A service that kept a sentence waiting is left alone for a while:
        // the built-in voice speaks at once instead (the status said so).
        if (settings.Engine == TSpeechVoice::DesktopService && !D->ServiceHeldUp()) {
            service = TImpl::Load(D->Service);
            if (service == nullptr)
                D->ServiceFailed(D->Service.Error, pending);
        }
        if (service != nullptr)
            D->SpeakByService(u, markup);
        else
            D->SpeakBuiltIn(u, pending);
    }
    TImpl::Deliver(*u, pending);
    return u->Ticket;
}

quint64 TSpeechEngine::Speak(const QString& ssml, const TSpeechSettings& settings,
                             TListener listener) {
    TSpeechMarkup markup;
    markup.Ssml = ssml;
    markup.MarkedSsml = ssml;
    return Speak(markup, settings, std::move(listener));
}

void TSpeechEngine::Prepare(TSpeechVoice engine) {
    std::lock_guard lock(D->Mutex);
    TImpl::Load(engine == TSpeechVoice::DesktopService ? D->Service : D->BuiltIn);
}

void TSpeechEngine::Cancel(quint64 ticket) {
    std::lock_guard lock(D->Mutex);
    const auto it = D->Live.find(ticket);
    if (it == D->Live.end())
        return;
    const std::shared_ptr<TImpl::TUtterance> u = it->second;
    u->Cancelled = true;
    if (!u->Started) {
        // Not heard yet: it ends here, and the engine's later word is ignored.
        u->Done = true;
        D->Live.erase(it);
    }
    if (u->Output != nullptr)
        u->Output->Cancel(u->OutputTicket);
    if (u->Output != nullptr && u->Output == D->Service.Output)
        D->NextServiceTurn();
}

QStringList TSpeechEngine::Voices() {
    ISpeechOutput* builtIn = nullptr;
    {
        std::lock_guard lock(D->Mutex);
        builtIn = TImpl::Load(D->BuiltIn);
    }
    QStringList voices;
    if (builtIn != nullptr) {
        for (const std::string& v : builtIn->Voices())
            voices << QString::fromStdString(v);
    }
    return voices;
}

void TSpeechEngine::Release() {
    std::lock_guard lock(D->Mutex);
    if (D->Service.Output != nullptr)
        D->Service.Output->Release();
}
