// Settings: the main window's controls are where the options live; these
// handlers copy them to and from the registry and react to the start-up
// option.
#include "app/UnitMain.h"

#include "app/AccountFields.h"
#include "app/AccountSecret.h"
#include "app/CertificateTrust.h"
#include "mail/SessionInfoRecord.h"
#include "platform/MessageBox.h"
#include "platform/RadioGroup.h"
#include "platform/Sounds.h"
#include "platform/autostart/AutoStart.h"
#include "settings/RegistryEntries.h"
#include "settings/Scrambler.h"
#include "settings/SettingsTable.h"
#include "settings/StoredText.h"
#include "tray/ActionTable.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTimer>

namespace {

const QString EmailCheckName = QStringLiteral("CheckBoxEnableEmailCheck");
const QString ShowAgentMessageName = QStringLiteral("gblnShowAgentNotInstalledMessage");
const QString LastMessageIDName = QStringLiteral("PanelLastMessageID");
const QString LastMessageUIDName = QStringLiteral("PanelLastMessageUID");
const QString LastIMAPUIDName = QStringLiteral("PanelLastIMAPUID");
const QString TrustedCertificateName = QStringLiteral("POP3TrustedCertificate");
const QString TimeFormat = QStringLiteral("HH:mm");

} // namespace

QWidget* TFormMain::OptionControl(const QString& name) const {
    // The one stored value not named after its control.
    if (name == QLatin1String("Timeout"))
        return SliderTimeout;
    auto* control = findChild<QWidget*>(name);
    if (control == nullptr)
        throw std::logic_error("No control holds the option " + name.toStdString());
    return control;
}

void TFormMain::SetBoolean(const QString& name, bool value) {
    if (name == ShowAgentMessageName) {
        gblnShowAgentNotInstalledMessage = value;
    } else if (name == EmailCheckName) {
        // The action's checked state, set without running the action.
        ActionList.ActionEmailCheckingEnabled->setChecked(value);
    } else if (auto* box = qobject_cast<QCheckBox*>(OptionControl(name))) {
        box->setChecked(value);
    }
}

bool TFormMain::GetBoolean(const QString& name) const {
    if (name == ShowAgentMessageName)
        return gblnShowAgentNotInstalledMessage;
    if (name == EmailCheckName)
        return ActionList.ActionEmailCheckingEnabled->isChecked();
    if (auto* box = qobject_cast<QCheckBox*>(OptionControl(name)))
        return box->isChecked();
    return false;
}

void TFormMain::SetInteger(const QString& name, int value) {
    QWidget* control = OptionControl(name);
    if (auto* spin = qobject_cast<QSpinBox*>(control))
        spin->setValue(value);
    else if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
        group->SetItemIndex(value);
    else if (auto* slider = qobject_cast<QSlider*>(control))
        slider->setValue(value);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setCurrentIndex(value); // a list of choices, stored as the item index
}

int TFormMain::GetInteger(const QString& name) const {
    QWidget* control = OptionControl(name);
    if (auto* spin = qobject_cast<QSpinBox*>(control))
        return spin->value();
    if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
        return group->ItemIndex();
    if (auto* slider = qobject_cast<QSlider*>(control))
        return slider->value();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentIndex();
    return 0;
}

void TFormMain::SetString(const QString& name, const std::string& bytes) {
    if (name == TrustedCertificateName) {
        SetTrustedCertificate(QString::fromStdString(bytes));
        return;
    }
    if (name == LastMessageIDName)
        LastMessageID().Set(bytes);
    if (name == LastMessageUIDName)
        LastMessageUID().Set(bytes);
    if (name == LastIMAPUIDName)
        LastIMAPUID().Set(bytes);
    QWidget* control = OptionControl(name);
    const TStoredText text(bytes);
    AttachStoredText(*control, text);
    if (auto* time = qobject_cast<QTimeEdit*>(control)) {
        // A text that is no time of day gives the row's default.
        QTime parsed = QTime::fromString(text.Shown(), TimeFormat);
        if (!parsed.isValid()) {
            const TSettingEntry* entry = FindSetting(name.toStdString());
            parsed =
                QTime::fromString(QString::fromLatin1(entry ? entry->DefaultText : ""), TimeFormat);
        }
        if (parsed.isValid())
            time->setTime(parsed);
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(text.Shown());
    } else if (control == FileComboBoxAgent) {
        SetCharacterBoxFile(text.Shown());
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        combo->setEditText(text.Shown());
    } else if (auto* label = qobject_cast<QLabel*>(control)) {
        label->setText(text.Shown());
    }
}

std::string TFormMain::GetString(const QString& name) const {
    if (name == TrustedCertificateName)
        return TrustedCertificate().toStdString();
    // The worker keeps the newest message's ID as the server sent it.
    if (name == LastMessageIDName)
        return LastMessageID().Get();
    if (name == LastMessageUIDName)
        return LastMessageUID().Get();
    if (name == LastIMAPUIDName)
        return LastIMAPUID().Get();
    QWidget* control = OptionControl(name);
    if (auto* time = qobject_cast<QTimeEdit*>(control))
        return StoredBytes(*time, time->time().toString(TimeFormat));
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return StoredBytes(*edit, edit->text());
    if (control == FileComboBoxAgent)
        return StoredBytes(*FileComboBoxAgent, CharacterBoxFile());
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return StoredBytes(*combo, combo->currentText());
    if (auto* label = qobject_cast<QLabel*>(control))
        return StoredBytes(*label, label->text());
    return {};
}

void TFormMain::ReadRegistryEntries() {
    RegistryStore->RemoveInterruptedSaves();
    const TRegistryLoad load = ::ReadRegistryEntries(*RegistryStore, *this);
    SessionInfo().PrevNumMessages = load.PrevNumMessages;
    // A value of the wrong type has its default now, and the next save repairs it: one box
    // says which, and the start goes on.
    if (!load.Errors.empty()) {
        QStringList texts;
        for (const std::string& error : load.Errors)
            texts << QString::fromStdString(error);
        platform::MessageDlg(texts.join(QLatin1Char('\n')), platform::TMsgDlgType::Error,
                             platform::mbOK);
    }
}

void TFormMain::WriteRegistryEntries() {
    PrepareStoredPassword();
    ::WriteRegistryEntries(*RegistryStore, *this, SessionInfo().StoredPassword(),
                           [this](const QString& line) { DebugLine(line, true); });
    SettingsWritten();
}

// The password's bytes as loaded, unless the user has changed them, scrambled; nothing while
// the keyring keeps the password.
void TFormMain::PrepareStoredPassword() {
    SessionInfo().SetStoredPassword(ScrambleText(Secret->BytesForSettingsFile()));
}

// A password moved back into the settings file leaves the keyring only now that the file
// holds it.
void TFormMain::SettingsWritten() {
    Secret->SettingsWritten(Closing);
}

void TFormMain::LoadKeyringPassword() {
    Secret->Load();
}

void TFormMain::CheckBoxPasswordInKeyringClick(bool on) {
    Secret->OptionClicked(on);
}

void TFormMain::KeyringAccountEdited() {
    Secret->AccountEdited();
}

void TFormMain::SaveSettingsSoon() {
    if (Created && !Closing)
        SaveTimer->start();
}

void TFormMain::SaveSettingsNow() {
    SaveTimer->stop();
    // The close writes them itself, after the last check has ended.
    if (Closing)
        return;
    try {
        PrepareStoredPassword();
        ::WriteRegistryEntries(*RegistryStore, *this, SessionInfo().StoredPassword(), {});
        SaveFailing = false;
        SettingsWritten();
    } catch (const std::exception& e) {
        if (!SaveFailing)
            ShowStatus(QStringLiteral("The settings could not be saved: ") +
                           QString::fromUtf8(e.what()),
                       false);
        SaveFailing = true;
    }
}

// Every control that holds an option asks for a save when its value
// changes. The counters and IDs on the Debug page change with mail checks,
// which save when they end.
void TFormMain::WatchOptionChanges() {
    const auto soon = [this] { SaveSettingsSoon(); };
    connect(ActionList.ActionEmailCheckingEnabled, &QAction::toggled, this, soon);
    for (const TSettingEntry& entry : SettingsTable()) {
        const QString name = QString::fromLatin1(entry.Name);
        if (name == ShowAgentMessageName || name == EmailCheckName ||
            name == TrustedCertificateName)
            continue;
        QWidget* control = OptionControl(name);
        if (auto* box = qobject_cast<QCheckBox*>(control))
            connect(box, &QCheckBox::toggled, this, soon);
        else if (auto* spin = qobject_cast<QSpinBox*>(control))
            connect(spin, &QSpinBox::valueChanged, this, soon);
        else if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
            connect(group, &platform::TRadioGroup::Click, this, soon);
        else if (auto* slider = qobject_cast<QSlider*>(control))
            connect(slider, &QSlider::valueChanged, this, soon);
        else if (auto* time = qobject_cast<QTimeEdit*>(control))
            connect(time, &QTimeEdit::timeChanged, this, soon);
        else if (auto* edit = qobject_cast<QLineEdit*>(control))
            connect(edit, &QLineEdit::textChanged, this, soon);
        else if (auto* combo = qobject_cast<QComboBox*>(control))
            connect(combo, &QComboBox::currentTextChanged, this, soon);
    }
}

const QString& TFormMain::TrustedCertificate() const {
    return CertificateTrust->Value();
}

void TFormMain::SetTrustedCertificate(const QString& value) {
    CertificateTrust->Set(value);
}

void TFormMain::CheckBoxStartWithWindowsClick() {
    try {
        ApplyStartWithWindows(*AutoStart, CheckBoxStartWithWindows->isChecked(), ExecutablePath,
                              [this](const QString& line) { DebugLine(line, false); });
    } catch (const std::exception& e) {
        // At start the entry is written again from the stored option; when
        // that fails, the start goes on and says so once. A user's click
        // shows the error at once.
        if (!LoadingSettings)
            throw;
        StartUpErrors << QString::fromUtf8(e.what());
    }
}
