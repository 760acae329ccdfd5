#pragma once
// The main window's duties for "Keep the password in the desktop keyring", bound to its
// account controls (server, login name, password, the option's box). The window calls it at
// its steps; the entry's rules are TPasswordKeyring's.
// - Load: at start, with the option on, the password is asked of the keyring; the field is
//   filled when it comes. Nothing waits for it.
// - ReadyForCheck: before a check. With the option on and the field empty the check waits:
//   the keyring is asked again (a failure is never remembered), and PasswordArrived follows
//   once the password is there. The status says what the check waits for, or why it failed.
// - OptionClicked, AccountEdited: the user's switch, and a changed password, server or login.
//   Switched on, the settings file keeps the password until the keyring holds it; when the
//   keyring fails the box is cleared again. Switched off, the entry is removed after the next
//   save only when its password is known; otherwise it stays, and the status says so.
// - BytesForSettingsFile, SettingsWritten: around each write of the settings file.
// The password travels as the bytes stored (see settings/StoredText.h), so an 8-bit password
// reaches the server unchanged wherever it is kept.
#include <QObject>
#include <QString>

#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;

namespace platform {
class IKeyringBackend;
class TPasswordKeyring;
struct TKeyringResult;
} // namespace platform

class TAccountSecret : public QObject {
    Q_OBJECT
public:
    struct TControls {
        QLineEdit* Server;
        QLineEdit* Login;
        QLineEdit* Password;
        QCheckBox* Option;
    };
    // Backend: the keyring module's when null, loaded at the first request.
    explicit TAccountSecret(const TControls& controls, platform::IKeyringBackend* backend = nullptr,
                            QObject* parent = nullptr);
    ~TAccountSecret() override;

    void Load();
    bool ReadyForCheck();
    // The password's bytes as the server gets them.
    std::string PasswordBytes() const;
    std::string BytesForSettingsFile() const;
    // At the close, waits (a few seconds at most) for the keyring's writes to end.
    void SettingsWritten(bool closing);
    void OptionClicked(bool on);
    void AccountEdited();

signals:
    void Status(const QString& text, bool alsoTray);
    void PasswordArrived();
    void SaveNeeded();

private:
    struct TStored {
        QString Server;
        QString Login;
        std::string Password;
        bool operator==(const TStored&) const = default;
    };
    platform::TPasswordKeyring& Keyring();
    TStored Current() const;
    void Read();
    void Fill(const std::string& password);

    TControls Controls;
    platform::IKeyringBackend* Backend;
    platform::TPasswordKeyring* KeyringObject = nullptr; // made at the first use
    std::optional<TStored> LastStored;                   // as the keyring holds it
    bool Reading = false;
    bool CheckWaiting = false;
    bool SwitchingOn = false;
};
