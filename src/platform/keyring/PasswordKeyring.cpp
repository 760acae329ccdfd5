#include "platform/keyring/PasswordKeyring.h"

#include "platform/ProgramModule.h"

#include <exception>
#include <mutex>
#include <unordered_map>

namespace platform {
namespace {

const char* const ModuleName = "talvoro_keyring";
// How long the Secret Service has to answer a probe before it counts as silent.
constexpr int ProbeTimeoutMs = 5000;

QString OneLine(const std::string& text) {
    QString line = QString::fromStdString(text);
    for (QChar& c : line)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            c = QLatin1Char(' ');
    return line.trimmed();
}

// The objects that take answers, by id: an answer comes on the keyring's thread and may
// outlive its asker. Made once and never freed, since the keyring's thread outlives main().
struct TReceivers {
    std::mutex Lock;
    std::unordered_map<quint64, TPasswordKeyring*> ById;
    quint64 LastId = 0;
};
TReceivers& Receivers() {
    static auto* const receivers = new TReceivers;
    return *receivers;
}

} // namespace

TPasswordKeyring::TPasswordKeyring(IKeyringBackend* backend, int patienceMs, QObject* parent)
    : QObject(parent), LoadedBackend(backend), PatienceMs(patienceMs), Id([this] {
          const std::lock_guard<std::mutex> lock(Receivers().Lock);
          const quint64 id = ++Receivers().LastId;
          Receivers().ById[id] = this;
          return id;
      }()) {
    Patience.setSingleShot(true);
    connect(&Patience, &QTimer::timeout, this, &TPasswordKeyring::PatienceOver);
}

TPasswordKeyring::~TPasswordKeyring() {
    const std::lock_guard<std::mutex> lock(Receivers().Lock);
    Receivers().ById.erase(Id);
}

IKeyringBackend* TPasswordKeyring::Backend(QString& failure) {
    if (LoadedBackend != nullptr)
        return LoadedBackend;
    try {
        LoadedBackend =
            ModuleFunction<TalvoroKeyringBackendFn>(ModuleName, "TalvoroKeyringBackend")();
        if (LoadedBackend == nullptr)
            failure =
                QStringLiteral("The desktop keyring cannot be used: its module did not start");
    } catch (const std::exception& error) {
        failure = QStringLiteral("The desktop keyring cannot be used: ") + OneLine(error.what());
    }
    return LoadedBackend;
}

QString TPasswordKeyring::StatusText(TKeyringStatus status, const QString& server,
                                     const QString& login, const std::string& detail) {
    switch (status) {
    case TKeyringStatus::Ok:
        return {};
    case TKeyringStatus::NotFound:
        return QStringLiteral("The password for %1 on %2 is not in the desktop keyring: enter it "
                              "on the E-mail Server page")
            .arg(login, server);
    case TKeyringStatus::Locked:
        return QStringLiteral("The desktop keyring is locked: unlock it to check e-mail");
    case TKeyringStatus::NoKeyring:
        return QStringLiteral("No desktop keyring is available (no Secret Service is running)");
    case TKeyringStatus::Denied:
        return QStringLiteral("The desktop keyring refused access to the password");
    case TKeyringStatus::TimedOut:
        return QStringLiteral("The desktop keyring did not answer");
    case TKeyringStatus::Failed:
        break;
    }
    const QString reason = OneLine(detail);
    return reason.isEmpty() ? QStringLiteral("The desktop keyring failed")
                            : QStringLiteral("The desktop keyring failed: ") + reason;
}

void TPasswordKeyring::Enqueue(bool writes, std::function<void()> operation) {
    if (writes)
        ++PendingWrites;
    Queue.push_back({writes, std::move(operation)});
    if (!Running)
        Finish();
}

// Ends the running operation, if any, and starts the next.
void TPasswordKeyring::Finish() {
    if (Running && RunningWrites)
        --PendingWrites;
    Running = false;
    if (Queue.empty())
        return;
    TOperation next = std::move(Queue.front());
    Queue.pop_front();
    Running = true;
    RunningWrites = next.Writes;
    next.Run();
}

// What the keyring thread calls with an answer: it is posted to this object's thread, unless
// this object has gone. The lock also makes the hand-over visible to ThreadSanitizer.
IKeyringBackend::TDone TPasswordKeyring::Route(quint64 sequence, bool probe) const {
    return [id = Id, sequence, probe](const TKeyringReply& reply) {
        const std::lock_guard<std::mutex> lock(Receivers().Lock);
        const auto found = Receivers().ById.find(id);
        if (found == Receivers().ById.end())
            return;
        QMetaObject::invokeMethod(
            found->second,
            [id, sequence, probe, reply] {
                TPasswordKeyring* receiver = nullptr;
                {
                    const std::lock_guard<std::mutex> held(Receivers().Lock);
                    const auto again = Receivers().ById.find(id);
                    if (again != Receivers().ById.end())
                        receiver = again->second;
                }
                if (receiver != nullptr)
                    receiver->Answered(sequence, probe, reply);
            },
            Qt::QueuedConnection);
    };
}

void TPasswordKeyring::Ask(const TNames& names, TStart start, TResultFn onResult) {
    QString failure;
    IKeyringBackend* backend = Backend(failure);
    if (backend == nullptr) {
        onResult({TKeyringStatus::Failed, {}, failure});
        return;
    }
    Current = ++Sequence;
    CurrentNames = names;
    OnResult = std::move(onResult);
    WaitingText.clear();
    Patience.start(PatienceMs);
    start(*backend, Route(Current, false));
}

void TPasswordKeyring::Answered(quint64 sequence, bool probe, const TKeyringReply& reply) {
    if (sequence != Current)
        return; // a request given up, or a probe for one that has answered since
    if (probe) {
        if (reply.Status == TKeyringStatus::Ok || reply.Status == TKeyringStatus::Locked) {
            const QString text =
                reply.Status == TKeyringStatus::Locked
                    ? QStringLiteral("Waiting for the desktop keyring to be unlocked")
                    : QStringLiteral("Waiting for the desktop keyring to answer");
            Patience.start(PatienceMs);
            if (text != WaitingText) {
                WaitingText = text;
                emit Waiting(text);
            }
            return;
        }
        // Gone, or silent: the request is given up; a late answer finds no asker.
    }
    Patience.stop();
    Current = 0;
    const TResultFn onResult = std::move(OnResult);
    OnResult = nullptr;
    onResult({reply.Status, reply.Password,
              StatusText(reply.Status, CurrentNames.Server, CurrentNames.Login, reply.Detail)});
}

void TPasswordKeyring::PatienceOver() {
    if (Current == 0 || LoadedBackend == nullptr)
        return;
    LoadedBackend->Probe(ProbeTimeoutMs, Route(Current, true));
}

void TPasswordKeyring::Load(const QString& server, const QString& login, TAnswer answer) {
    const TNames names{server, login};
    Enqueue(false, [this, names, answer] {
        Ask(
            names,
            [names](IKeyringBackend& backend, IKeyringBackend::TDone done) {
                backend.Read(names.Server.toStdString(), names.Login.toStdString(), done);
            },
            [this, names, answer](const TKeyringResult& result) {
                if (result.Ok())
                    Known = TEntry{names, result.Password};
                if (answer)
                    answer(result);
                Finish();
            });
    });
}

void TPasswordKeyring::Store(const QString& server, const QString& login,
                             const std::string& password, TAnswer answer) {
    const TNames names{server, login};
    Enqueue(true, [this, names, password, answer] {
        if (names.Server.trimmed().isEmpty() || names.Login.trimmed().isEmpty()) {
            if (answer)
                answer({TKeyringStatus::Failed,
                        {},
                        QStringLiteral("The password can be kept in the desktop keyring only "
                                       "under a server and a login name")});
            Finish();
            return;
        }
        if (Known && Known->Names == names && !password.empty()) {
            Write(names, password, answer);
            return;
        }
        // An entry not known yet is read before anything is written over it.
        Ask(
            names,
            [names](IKeyringBackend& backend, IKeyringBackend::TDone done) {
                backend.Read(names.Server.toStdString(), names.Login.toStdString(), done);
            },
            [this, names, password, answer](const TKeyringResult& found) {
                const bool missing = found.Status == TKeyringStatus::NotFound;
                if (!found.Ok() && !missing) {
                    if (answer)
                        answer(found);
                    Finish();
                    return;
                }
                if (!password.empty()) {
                    Write(names, password, answer);
                    return;
                }
                // Nothing to write: the entry's own password, if it has one, is the password.
                TKeyringResult result = found;
                if (missing || found.Password.empty()) {
                    result = {TKeyringStatus::NotFound,
                              {},
                              QStringLiteral("Enter the password before keeping it in the "
                                             "desktop keyring")};
                } else {
                    Known = TEntry{names, found.Password};
                }
                if (answer)
                    answer(result);
                Finish();
            });
    });
}

void TPasswordKeyring::Write(const TNames& names, const std::string& password,
                             const TAnswer& answer) {
    Ask(
        names,
        [names, password](IKeyringBackend& backend, IKeyringBackend::TDone done) {
            backend.Write(names.Server.toStdString(), names.Login.toStdString(), password, done);
        },
        [this, names, password, answer](const TKeyringResult& written) {
            if (!written.Ok()) {
                if (answer)
                    answer(written);
                Finish();
                return;
            }
            const std::optional<TEntry> former = Known;
            Known = TEntry{names, password};
            if (RemoveAfterSave == names)
                RemoveAfterSave.reset();
            if (answer)
                answer({TKeyringStatus::Ok, password, {}});
            // The entry under the former names goes once the new one holds the password.
            if (!former || former->Names == names) {
                Finish();
                return;
            }
            const TNames old = former->Names;
            Ask(
                old,
                [old](IKeyringBackend& backend, IKeyringBackend::TDone done) {
                    backend.Remove(old.Server.toStdString(), old.Login.toStdString(), done);
                },
                [this](const TKeyringResult&) { Finish(); });
        });
}

bool TPasswordKeyring::SwitchOff() {
    if (!Known)
        return false;
    RemoveAfterSave = Known->Names;
    Known.reset();
    return true;
}

void TPasswordKeyring::SettingsSaved(TAnswer answer) {
    if (!RemoveAfterSave)
        return;
    Enqueue(true, [this, answer] {
        if (!RemoveAfterSave) {
            Finish();
            return;
        }
        const TNames names = *RemoveAfterSave;
        Ask(
            names,
            [names](IKeyringBackend& backend, IKeyringBackend::TDone done) {
                backend.Remove(names.Server.toStdString(), names.Login.toStdString(), done);
            },
            [this, names, answer](const TKeyringResult& removed) {
                if (removed.Ok() && RemoveAfterSave == names)
                    RemoveAfterSave.reset();
                if (answer)
                    answer(removed);
                Finish();
            });
    });
}

} // namespace platform
