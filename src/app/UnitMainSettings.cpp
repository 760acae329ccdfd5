// Settings: the main window's controls are where the options live; these
// handlers copy them to and from the registry and react to the start-up
// option.
#include "app/UnitMain.h"

#include "mail/SessionInfoRecord.h"
#include "platform/RadioGroup.h"
#include "platform/Sounds.h"
#include "platform/autostart/AutoStart.h"
#include "settings/RegistryEntries.h"
#include "settings/SettingsTable.h"
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

void TFormMain::SetString(const QString& name, const QString& value) {
    if (name == LastMessageIDName)
        LastMessageID().Set(value.toStdString());
    QWidget* control = OptionControl(name);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        edit->setText(value);
    else if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->setEditText(value);
    else if (auto* label = qobject_cast<QLabel*>(control))
        label->setText(value);
}

QString TFormMain::GetString(const QString& name) const {
    if (name == LastMessageIDName)
        return QString::fromStdString(LastMessageID().Get());
    QWidget* control = OptionControl(name);
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->currentText();
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    return {};
}

void TFormMain::ReadRegistryEntries() {
    RegistryStore->RemoveInterruptedSaves();
    const TRegistryLoad load = ::ReadRegistryEntries(*RegistryStore, *this);
    SessionInfo().PrevNumMessages = load.PrevNumMessages;
}

void TFormMain::WriteRegistryEntries() {
    ::WriteRegistryEntries(*RegistryStore, *this, SessionInfo().StoredPassword(),
                           [this](const QString& line) { DebugLine(line, true); });
}

void TFormMain::CheckBoxStartWithWindowsClick() {
    ApplyStartWithWindows(*AutoStart, CheckBoxStartWithWindows->isChecked(), ExecutablePath,
                          [this](const QString& line) { DebugLine(line, false); });
}
