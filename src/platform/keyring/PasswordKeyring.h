#pragma once
// The POP3 password's entry in the desktop's Secret Service, under the server
// and the login name, and the rules that keep it from being lost:
// - An entry is overwritten or removed only once its password is known: read
//   back from the keyring or written there by this object. Store first reads an
//   entry it does not know; a Store without a password takes the entry's own
//   password rather than writing an empty one, and fails when there is none.
// - Store under new names removes the entry under the former names once the
//   new one holds the password, if the former one was known.
// - SwitchOff marks the known entry for removal, which SettingsSaved carries
//   out once the settings file holds the password again; an entry that is not
//   known stays where it is (SwitchOff says so).
//
// Every call returns at once; its answer comes later on this object's thread,
// one request at a time in call order. A request the keyring has not answered
// within the patience is followed by a probe of the Secret Service: when the
// service answers the probe, the user may be answering its unlock or access
// prompt, so the request goes on waiting (Waiting says so) and is probed again
// after each patience; when it is gone or does not answer the probe either, the
// request fails (its late answer is dropped). A failure is only that request's:
// the next one asks the keyring again. The password is never written in clear
// anywhere, and QtKeychain's plain-file fallback is off.
//
// The keyring module is loaded at the first request, not before.
#include "platform/keyring/KeyringBackend.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>
#include <optional>
#include <string>

namespace platform {

struct TKeyringResult {
    TKeyringStatus Status = TKeyringStatus::Failed;
    std::string Password; // the entry's password, as bytes
    QString StatusText;   // when not Ok: what the status bar says
    bool Ok() const { return Status == TKeyringStatus::Ok; }
};

class TPasswordKeyring : public QObject {
    Q_OBJECT
public:
    using TAnswer = std::function<void(const TKeyringResult&)>;

    // Backend: the keyring module's when null.
    explicit TPasswordKeyring(IKeyringBackend* backend = nullptr, int patienceMs = 3000,
                              QObject* parent = nullptr);
    ~TPasswordKeyring() override;

    // Answer may be empty.
    void Load(const QString& server, const QString& login, TAnswer answer);
    void Store(const QString& server, const QString& login, const std::string& password,
               TAnswer answer);
    // Whether there is a known entry to remove after the next save.
    bool SwitchOff();
    void SettingsSaved(TAnswer answer);

    // Whether a write or removal waits or runs.
    bool Writing() const { return PendingWrites > 0; }

    // The status text for a keyring's answer.
    static QString StatusText(TKeyringStatus status, const QString& server, const QString& login,
                              const std::string& detail);

signals:
    // A request waits on a Secret Service that answers probes: the text for the status bar.
    void Waiting(const QString& text);

private:
    struct TNames {
        QString Server;
        QString Login;
        bool operator==(const TNames&) const = default;
    };
    struct TEntry {
        TNames Names;
        std::string Password;
    };
    using TResultFn = std::function<void(const TKeyringResult&)>;
    using TStart = std::function<void(IKeyringBackend&, IKeyringBackend::TDone)>;

    IKeyringBackend* Backend(QString& failure);
    void Enqueue(bool writes, std::function<void()> operation);
    void Finish();
    void Ask(const TNames& names, TStart start, TResultFn onResult);
    IKeyringBackend::TDone Route(quint64 sequence, bool probe) const;
    void Answered(quint64 sequence, bool probe, const TKeyringReply& reply);
    void PatienceOver();
    void Write(const TNames& names, const std::string& password, const TAnswer& answer);

    IKeyringBackend* LoadedBackend;
    const int PatienceMs;
    const quint64 Id;
    std::optional<TEntry> Known;           // the entry that holds the password now, as known
    std::optional<TNames> RemoveAfterSave; // the known entry to remove once the settings hold it

    struct TOperation {
        bool Writes;
        std::function<void()> Run;
    };
    std::deque<TOperation> Queue;
    bool Running = false;
    bool RunningWrites = false;
    int PendingWrites = 0;

    // The backend request under way.
    quint64 Sequence = 0;
    quint64 Current = 0; // 0: none
    TNames CurrentNames;
    TResultFn OnResult;
    QString WaitingText;
    QTimer Patience;
};

} // namespace platform
