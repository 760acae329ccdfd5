// Settings: the main window's controls are where the options live; these
// handlers copy them to and from the registry and react to the start-up
// option.
#include "app/UnitMain.h"

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
#include <QSlider>
#include <QSpinBox>

namespace {

const QString EmailCheckName = QStringLiteral("CheckBoxEnableEmailCheck");
const QString ShowAgentMessageName = QStringLiteral("gblnShowAgentNotInstalledMessage");
const QString LastMessageIDName = QStringLiteral("PanelLastMessageID");

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
}

int TFormMain::GetInteger(const QString& name) const {
    QWidget* control = OptionControl(name);
    if (auto* spin = qobject_cast<QSpinBox*>(control))
        return spin->value();
    if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
        return group->ItemIndex();
    if (auto* slider = qobject_cast<QSlider*>(control))
        return slider->value();
    return 0;
}

void TFormMain::SetString(const QString& name, const std::string& bytes) {
    if (name == LastMessageIDName)
        LastMessageID().Set(bytes);
    QWidget* control = OptionControl(name);
    const TStoredText text(bytes);
    AttachStoredText(*control, text);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(text.Shown());
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(text.Shown());
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(text.Shown());
}

std::string TFormMain::GetString(const QString& name) const {
    // The worker keeps the newest message's ID as the server sent it.
    if (name == LastMessageIDName)
        return LastMessageID().Get();
    QWidget* control = OptionControl(name);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return StoredBytes(*edit, edit->text());
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
    // The password's bytes as loaded, unless the user has changed it, whoever asks for the save.
    SessionInfo().SetStoredPassword(
        ScrambleText(StoredBytes(*EditPOP3Password, EditPOP3Password->text())));
    ::WriteRegistryEntries(*RegistryStore, *this, SessionInfo().StoredPassword(),
                           [this](const QString& line) { DebugLine(line, true); });
}

void TFormMain::CheckBoxStartWithWindowsClick() {
    ApplyStartWithWindows(*AutoStart, CheckBoxStartWithWindows->isChecked(), ExecutablePath,
                          [this](const QString& line) { DebugLine(line, false); });
}
