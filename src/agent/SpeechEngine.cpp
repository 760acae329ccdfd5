#include "agent/SpeechEngine.h"

#include "agent/SpeechMarkup.h"
#include "agent/SpeechOutput.h"

#include "platform/ProgramModule.h"

#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using TOutputKind = TSpeechOutputEvent::TKind;

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
    };
    using TPending = std::vector<TSpeechEvent>;

    std::mutex Mutex;
    TEngine BuiltIn{BuiltInSpeechModule, nullptr, false, {}};
    TEngine Service{DesktopSpeechModule, nullptr, false, {}};
    quint64 NextTicket = 0;
    std::map<quint64, std::shared_ptr<TUtterance>> Live;
    bool ServiceNoticeGiven = false;
    bool BuiltInNoticeGiven = false;

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
        pending.push_back(Status(QStringLiteral("The desktop speech service is not available "
                                                "(%1): the built-in voice speaks instead.")
                                     .arg(OneLine(reason))));
    }

    // Hands the utterance to the built-in voice. Mutex held.
    void SpeakBuiltIn(const std::shared_ptr<TUtterance>& u, TPending& pending) {
        ISpeechOutput* output = Load(BuiltIn);
        if (output == nullptr) {
            if (!BuiltInNoticeGiven) {
                BuiltInNoticeGiven = true;
                pending.push_back(Status(QStringLiteral("The built-in voice could not be loaded "
                                                        "(%1): the character speaks without sound.")
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

    void OnEvent(const std::weak_ptr<TUtterance>& weak, const TSpeechOutputEvent& event,
                 bool fromService) {
        const std::shared_ptr<TUtterance> u = weak.lock();
        if (!u)
            return;
        TPending pending;
        {
            std::lock_guard lock(Mutex);
            if (u->Done || (fromService && u->Output != Service.Output))
                return;
            TSpeechEvent out;
            switch (event.Kind) {
            case TOutputKind::Started:
                u->Started = true;
                if (fromService)
                    ServiceNoticeGiven = false; // it works again: a later failure is news
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
                out.Kind = TSpeechEvent::TKind::Mark;
                out.Text = QString::fromStdString(event.Text);
                pending.push_back(out);
                break;
            case TOutputKind::DeviceMissing:
                out.Kind = TSpeechEvent::TKind::DeviceMissing;
                pending.push_back(out);
                break;
            case TOutputKind::Finished:
                u->Done = true;
                Live.erase(u->Ticket);
                out.Kind = TSpeechEvent::TKind::Finished;
                pending.push_back(out);
                break;
            case TOutputKind::Failed:
                if (fromService)
                    ServiceFailed(event.Text, pending);
                if (fromService && !u->Started && !u->Cancelled) {
                    SpeakBuiltIn(u, pending); // nothing was heard yet: say it all
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
        if (settings.Engine == TSpeechVoice::DesktopService) {
            service = TImpl::Load(D->Service);
            if (service == nullptr)
                D->ServiceFailed(D->Service.Error, pending);
        }
        if (service != nullptr) {
            TSpeechOutputRequest serviceRequest = request;
            serviceRequest.Ssml = markup.MarkedSsml.toStdString();
            u->Output = service;
            std::weak_ptr<TImpl::TUtterance> weak = u;
            TImpl* impl = D;
            u->OutputTicket = service->Speak(serviceRequest, [impl, weak](const auto& event) {
                impl->OnEvent(weak, event, true);
            });
        } else {
            D->SpeakBuiltIn(u, pending);
        }
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
