#include "app/AccountSecret.h"

#include "platform/keyring/PasswordKeyring.h"
#include "settings/StoredText.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>

namespace {

// How long the close waits for a write or removal that is under way.
constexpr int CloseWaitMs = 5000;

} // namespace

TAccountSecret::TAccountSecret(const TControls& controls, platform::IKeyringBackend* backend,
                               QObject* parent)
    : QObject(parent), Controls(controls), Backend(backend) {}

TAccountSecret::~TAccountSecret() = default;

platform::TPasswordKeyring& TAccountSecret::Keyring() {
    if (KeyringObject == nullptr) {
        KeyringObject = new platform::TPasswordKeyring(Backend, 3000, this);
        connect(KeyringObject, &platform::TPasswordKeyring::Waiting, this,
                [this](const QString& text) { emit Status(text, CheckWaiting); });
    }
    return *KeyringObject;
}

TAccountSecret::TStored TAccountSecret::Current() const {
    return {Controls.Server->text(), Controls.Login->text(), PasswordBytes()};
}

std::string TAccountSecret::PasswordBytes() const {
    return StoredBytes(*Controls.Password, Controls.Password->text());
}

std::string TAccountSecret::BytesForSettingsFile() const {
    return Controls.Option->isChecked() && !SwitchingOn ? std::string() : PasswordBytes();
}

// The keyring's bytes, shown as the settings' bytes are, and sent as they are.
void TAccountSecret::Fill(const std::string& password) {
    const TStoredText text(password);
    AttachStoredText(*Controls.Password, text);
    Controls.Password->setText(text.Shown());
}

void TAccountSecret::Load() {
    if (Controls.Option->isChecked())
        Read();
}

void TAccountSecret::Read() {
    Reading = true;
    const QString server = Controls.Server->text();
    const QString login = Controls.Login->text();
    Keyring().Load(server, login, [this, server, login](const platform::TKeyringResult& loaded) {
        Reading = false;
        const bool checkWaited = CheckWaiting;
        CheckWaiting = false;
        // An empty entry would leave the check waiting for ever.
        if (loaded.Ok() && loaded.Password.empty()) {
            emit Status(platform::TPasswordKeyring::StatusText(platform::TKeyringStatus::NotFound,
                                                               server, login, {}),
                        checkWaited);
            return;
        }
        if (!loaded.Ok()) {
            emit Status(loaded.StatusText, checkWaited);
            return;
        }
        // A password typed meanwhile is the user's.
        if (Controls.Password->text().isEmpty() && Controls.Server->text() == server &&
            Controls.Login->text() == login) {
            Fill(loaded.Password);
            LastStored = Current();
        }
        if (checkWaited)
            emit PasswordArrived();
    });
}

bool TAccountSecret::ReadyForCheck() {
    // Without a server or login name there is no entry to ask for: the check says what is missing.
    if (!Controls.Option->isChecked() || !Controls.Password->text().isEmpty() ||
        Controls.Server->text().isEmpty() || Controls.Login->text().isEmpty())
        return true;
    CheckWaiting = true;
    if (!Reading)
        Read();
    emit Status(QStringLiteral("Waiting for the desktop keyring"), true);
    return false;
}

void TAccountSecret::OptionClicked(bool on) {
    if (!on) {
        SwitchingOn = false;
        LastStored.reset();
        if (!Keyring().SwitchOff())
            emit Status(QStringLiteral("The password was left in the desktop keyring, since it "
                                       "could not be read from there"),
                        false);
        emit SaveNeeded();
        return;
    }
    const TStored stored = Current();
    SwitchingOn = true;
    Keyring().Store(stored.Server, stored.Login, stored.Password,
                    [this, stored](const platform::TKeyringResult& result) {
                        SwitchingOn = false;
                        if (!result.Ok()) {
                            // The password stays where it was: in the settings file.
                            Controls.Option->setChecked(false);
                            emit Status(result.StatusText, false);
                            emit SaveNeeded();
                            return;
                        }
                        // Switched off again meanwhile: the entry goes after the next save.
                        if (!Controls.Option->isChecked()) {
                            Keyring().SwitchOff();
                            emit SaveNeeded();
                            return;
                        }
                        if (stored.Password.empty() && Controls.Password->text().isEmpty())
                            Fill(result.Password);
                        LastStored = TStored{stored.Server, stored.Login, result.Password};
                        emit SaveNeeded();
                    });
}

void TAccountSecret::AccountEdited() {
    if (!Controls.Option->isChecked() || SwitchingOn || Controls.Password->text().isEmpty())
        return;
    const TStored stored = Current();
    if (stored == LastStored)
        return;
    LastStored = stored;
    Keyring().Store(stored.Server, stored.Login, stored.Password,
                    [this, stored](const platform::TKeyringResult& result) {
                        if (result.Ok())
                            return;
                        if (LastStored == stored)
                            LastStored.reset();
                        emit Status(result.StatusText, false);
                    });
}

void TAccountSecret::SettingsWritten(bool closing) {
    if (KeyringObject == nullptr)
        return;
    Keyring().SettingsSaved([this](const platform::TKeyringResult& removed) {
        if (!removed.Ok())
            emit Status(removed.StatusText, false);
    });
    if (!closing)
        return;
    const QDeadlineTimer deadline(CloseWaitMs);
    while (KeyringObject->Writing() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
}
