// The setup wizard as this window opens it, and the options it copies in and
// out (the wizard's table of them is in wizard/WizardPages.cpp).
#include "app/Identity.h"
#include "app/UnitMain.h"

#include "platform/RadioGroup.h"
#include "tray/TrayIcon.h"
#include "wizard/AccountPageController.h"
#include "wizard/UnitWizard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>

QVariant TFormMain::GetOption(const QString& name) {
    QWidget* control = OptionControl(name);
    if (auto* box = qobject_cast<QCheckBox*>(control))
        return box->isChecked();
    if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
        return group->ItemIndex();
    if (control == FileComboBoxAgent)
        return CharacterBoxFile();
    if (auto* combo = qobject_cast<QComboBox*>(control))
        return combo->isEditable() ? QVariant(combo->currentText())
                                   : QVariant(combo->currentIndex());
    if (auto* edit = qobject_cast<QLineEdit*>(control))
        return edit->text();
    return {};
}

// Setting a control runs its own reaction when its state changes, as a
// user's change would; the character box's text switches no character.
void TFormMain::SetOption(const QString& name, const QVariant& value) {
    QWidget* control = OptionControl(name);
    // The wizard's port is copied as it stands, whatever order the choices arrive in.
    AccountPage->HoldPortRule(true);
    const auto release = qScopeGuard([this] { AccountPage->HoldPortRule(false); });
    if (control == CheckBoxEnableEmailCheck) {
        if (CheckBoxEnableEmailCheck->isChecked() != value.toBool())
            ActionList.ActionEmailCheckingEnabled->trigger();
    } else if (auto* box = qobject_cast<QCheckBox*>(control)) {
        box->setChecked(value.toBool());
    } else if (auto* group = qobject_cast<platform::TRadioGroup*>(control)) {
        group->SetItemIndex(value.toInt());
    } else if (control == FileComboBoxAgent) {
        SetCharacterBoxFile(value.toString());
    } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
        if (combo->isEditable())
            combo->setEditText(value.toString());
        else
            combo->setCurrentIndex(value.toInt());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        edit->setText(value.toString());
    }
}

bool TFormMain::EnableAgentChecked() {
    return CheckBoxEnableAgent->isChecked();
}

// At the first start: the tray says why nothing else answers and opens no
// menu meanwhile. However the wizard is closed, it writes its position under
// "Wizard", so the next start is not a first run.
void TFormMain::RunFirstStartWizard() {
    RxTrayIcon->SetHint(identity::WizardTrayHint);
    RxTrayIcon->SetAutoPopup(false);
    const auto wizard = std::make_unique<TFormWizard>(*this);
    wizard->exec();
}

void TFormMain::ButtonSetupWizardClick() {
    const auto wizard = std::make_unique<TFormWizard>(*this);
    wizard->exec();
    KeyringAccountEdited();
}
