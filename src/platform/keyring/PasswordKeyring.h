#pragma once
// The option "Keep the password in the desktop keyring": the POP3 password in
// the desktop's Secret Service instead of the settings file.
//
// The rules the main window follows with it:
// - Option on: the settings file holds no password (the value
//   "EditPOP3Password" is written empty); the password is the keyring's entry
//   under the server and the login name.
// - At start, with the option on: Load(). When it fails, the status bar shows
//   its text and no check runs until the password is there (typed again, or
//   the keyring unlocked and the program started again).
// - Password, server or login changed while the option is on: Store(). The
//   entry under the names stored before is removed once the new one is in.
// - Option switched on: Store(); when that fails the option goes off again,
//   the text is shown, and the password stays in the settings file.
// - Option switched off: SwitchOff(); the settings file holds the password
//   (scrambled) again from the next settings write, and only after that write
//   has succeeded does SettingsSaved() remove the keyring's entry, so the
//   password is never only in memory.
// Nothing moves silently: every failure comes back with a text for the status
// bar. The password is never written in clear anywhere, and QtKeychain's
// plain-file fallback is off.
//
// The keyring module is loaded at the first call, not before. Calls block the
// calling thread until the keyring answers (a desktop may show its unlock
// prompt meanwhile), at most TimeoutMs. Nothing here throws.
#include "platform/keyring/KeyringBackend.h"

#include <QString>
#include <optional>

namespace platform {

struct TKeyringResult {
    bool Ok = false;
    QString Password;   // what Load found
    QString StatusText; // when not Ok: what the status bar says
};

class TPasswordKeyring {
public:
    // Backend: the keyring module's when null.
    explicit TPasswordKeyring(IKeyringBackend* backend = nullptr, int timeoutMs = 30000);

    TKeyringResult Load(const QString& server, const QString& login);
    TKeyringResult Store(const QString& server, const QString& login, const QString& password);
    void SwitchOff(const QString& server, const QString& login);
    TKeyringResult SettingsSaved();

    // The status text for a keyring's answer.
    static QString StatusText(TKeyringStatus status, const QString& server, const QString& login,
                              const std::string& detail);

private:
    struct TNames {
        QString Server;
        QString Login;
        bool operator==(const TNames&) const = default;
    };
    IKeyringBackend* Backend(QString& failure);
    TKeyringResult Failure(const TKeyringReply& reply, const TNames& names) const;

    IKeyringBackend* LoadedBackend;
    int TimeoutMs;
    std::optional<TNames> Entry;           // the names of the entry that holds the password now
    std::optional<TNames> RemoveAfterSave; // the entry to remove once the settings hold it
};

} // namespace platform
