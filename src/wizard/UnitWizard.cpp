#include "wizard/UnitWizard.h"

#include "platform/Display.h"
#include "platform/RadioGroup.h"
#include "settings/FormPlacement.h"
#include "wizard/AccountPageController.h"
#include "wizard/AccountRules.h"
#include "wizard/AccountTest.h"
#include "wizard/WizardPages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolButton>

#include <exception>
#include <stdexcept>
#include <utility>

TFormWizard::TFormWizard(IWizardHost& host, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      Host(host) {
    setObjectName(QStringLiteral("FormWizard"));
    setWindowTitle(QStringLiteral("Talvoro Setup Wizard"));
    setModal(true);
    // Laid out for an 8-point font, like the main window.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    BuildControls();
    FitToContent();
    FormCreate();
}

TFormWizard::~TFormWizard() = default;

void TFormWizard::FormCreate() {
    Placement = new TFormPlacement(this, Host.Registry(), QStringLiteral("Wizard"));
    // The wizard runs its own display test: at the first start it opens before the main
    // window's, and a grey box where the logo belongs is the first thing a new user would see.
    if (platform::ScreenBitsPerPixel() > 8)
        ImageLogo->setPixmap(Host.LogoPixmap());
    else
        ImageLogo->hide();
    CopyOptionsIn();
    // A new account (the wizard of a new profile) starts secure.
    AccountPage->ProposeSecureConnection();
    // Opening on "Welcome" is not a move: no enter handler runs, the first showing speaks.
    PageManager->SetActivePage(WelcomePage);
    UpdateAccountState();
}

void TFormWizard::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous() || Shown)
        return;
    Shown = true;
    FormShow();
}

void TFormWizard::FormShow() {
    const bool loaded = Host.AgentLoaded();
    ButtonStopTalking->setEnabled(loaded && Host.EnableAgentChecked());
    ButtonSayTimeTest->setEnabled(loaded);
    RadioGroupSayTimeInterval->setEnabled(loaded);
    GroupBoxAgentOptions->setEnabled(loaded);
    GroupBoxNotification->setEnabled(loaded);
    WizButtonNext->setFocus();

    Host.MyAgentStopAll(false);
    if (loaded && Host.EnableAgentChecked()) {
        for (const QString& text : WizardWelcomeTexts())
            Host.MyAgentSpeak(text, nullptr, false);
    }
}

void TFormWizard::SpeakGuide(int page, QWidget* anchor) {
    Host.MyAgentStopAll(false);
    // The host speaks only under the same condition; asking first keeps the wizard silent
    // whatever host it runs with.
    if (!Host.AgentLoaded() || !Host.EnableAgentChecked())
        return;
    for (const QString& text : WizardPageInfo(page).Guide)
        Host.MyAgentSpeak(text, anchor, false);
}

void TFormWizard::PageManagerGetNextPage(int current, int& target) {
    WizButtonHelp->setEnabled(true);
    switch (current) {
    case EnableEmailPage:
        target = WizardNextPage(current, CheckBoxEnableEmailCheck->isChecked());
        break;
    case AccountOptionsPage: {
        const bool available = Host.DialUpAvailable();
        Host.SetRasAvailable(available);
        if (!available) {
            RadioGroupInternetConnection->SetItemIndex(1);
            RadioGroupInternetConnection->setEnabled(false);
        }
        // An account that no check can use goes no further.
        if (!AccountAcceptable())
            target = NoWizardPage;
        break;
    }
    case FinishPage:
        WizButtonHelp->setEnabled(false);
        break;
    default:
        break;
    }
}

void TFormWizard::PageManagerGetPriorPage(int current, int& target) {
    WizButtonHelp->setEnabled(true);
    switch (current) {
    case TimePage:
        target = WizardPriorPage(current, CheckBoxEnableEmailCheck->isChecked());
        break;
    case FinishPage:
        WizButtonHelp->setEnabled(false);
        break;
    default:
        break;
    }
}

// Every page's enter handler is the same: the page's guide from the page table, beside the page
// area.
void TFormWizard::PageEnter(int page, bool) {
    SpeakGuide(page, PageManager);
}

void TFormWizard::FinishShow() {
    FinishShown = true;
    UpdateAccountState();
    // Next, disabled here, has handed the focus on to Cancel; Enter must not cancel.
    ButtonFinish->setFocus();
}

void TFormWizard::ButtonBackClick() {
    PageManager->GoBack();
}

void TFormWizard::ButtonNextClick() {
    PageManager->GoNext();
    // Next, which had the focus, is off on an account page that still needs input: the user
    // starts in the first field that needs it rather than on Cancel.
    if (PageManager->ActivePage() == AccountOptionsPage && !WizButtonNext->isEnabled()) {
        const std::pair<QLineEdit*, QLabel*> fields[] = {{EditPOP3Server, HintPOP3Server},
                                                         {EditPOP3Port, HintPOP3Port},
                                                         {EditPOP3Account, HintPOP3Account},
                                                         {EditPOP3Password, HintPOP3Password}};
        for (const auto& [edit, hint] : fields) {
            if (!hint->isHidden()) {
                edit->setFocus();
                break;
            }
        }
    }
}

void TFormWizard::ButtonFinishClick() {
    Host.MyAgentStopAll(true);
    CopyOptionsOut();
    accept();
}

void TFormWizard::WizButtonCancelClick() {
    Host.MyAgentStopAll(true);
    reject();
}

void TFormWizard::WizButtonHelpClick() {
    const int page = PageManager->ActivePage();
    if (page < 0)
        return;
    const int context = WizardPageInfo(page).HelpContext;
    if (context != 0)
        Host.OpenHelp(context);
}

void TFormWizard::ButtonStopTalkingClick() {
    Host.MyAgentStopAll(false);
}

void TFormWizard::ButtonSayTimeTestClick() {
    Host.SayTime(EditYourName->text());
}

void TFormWizard::keyPressEvent(QKeyEvent* event) {
    // Escape is the Cancel button, which also silences the character; the close box is not.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        WizButtonCancelClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TFormWizard::done(int result) {
    // Nothing goes on looking or connecting for a window that is gone.
    AccountPage->StopSearch();
    AccountTest->Stop();
    std::exception_ptr failure;
    try {
        Placement->Save();
    } catch (...) {
        // The wizard closes all the same; the user hears about the lost position afterwards.
        failure = std::current_exception();
    }
    QDialog::done(result);
    if (failure)
        std::rethrow_exception(failure);
}

namespace {

TWizardOptionKind OptionKind(const QString& name) {
    for (const TWizardOption& option : WizardOptions()) {
        if (option.Name == name)
            return option.Kind;
    }
    throw std::out_of_range("no wizard option " + name.toStdString());
}

} // namespace

QVariant TFormWizard::OptionValue(const QString& name) const {
    QWidget* control = findChild<QWidget*>(name);
    switch (OptionKind(name)) {
    case TWizardOptionKind::Checked:
        return qobject_cast<QCheckBox*>(control)->isChecked();
    case TWizardOptionKind::ItemIndex:
        if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
            return group->ItemIndex();
        return qobject_cast<QComboBox*>(control)->currentIndex();
    case TWizardOptionKind::Text:
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            return edit->text();
        return qobject_cast<QComboBox*>(control)->currentText();
    }
    return {};
}

void TFormWizard::SetOptionValue(const QString& name, const QVariant& value) {
    QWidget* control = findChild<QWidget*>(name);
    switch (OptionKind(name)) {
    case TWizardOptionKind::Checked:
        qobject_cast<QCheckBox*>(control)->setChecked(value.toBool());
        break;
    case TWizardOptionKind::ItemIndex: {
        const int index = value.isValid() ? value.toInt() : -1;
        if (auto* group = qobject_cast<platform::TRadioGroup*>(control))
            group->SetItemIndex(index);
        else if (auto* combo = qobject_cast<QComboBox*>(control))
            // A fixed list always has a choice: the first ("None") when the host has none.
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : 0);
        break;
    }
    case TWizardOptionKind::Text:
        if (auto* edit = qobject_cast<QLineEdit*>(control))
            edit->setText(value.toString());
        else
            qobject_cast<QComboBox*>(control)->setEditText(value.toString());
        break;
    }
}

void TFormWizard::CopyOptionsIn() {
    for (const TWizardOption& option : WizardOptions())
        SetOptionValue(option.Name, Host.GetOption(option.Name));
}

void TFormWizard::CopyOptionsOut() {
    for (const TWizardOption& option : WizardOptions())
        Host.SetOption(option.Name, OptionValue(option.Name));
}
