#pragma once
// The setup wizard "Talvoro Setup Wizard": a modal dialog of seven pages that edits copies of
// options of the main window (WizardOptions()) and, at Finish, hands them back in a fixed
// order. While the user moves through the pages the character reads a short guide for each page.
//
// With e-mail checking chosen, the account page lets the user on only with an account that a
// check can use (AccountRules.h): Next there, and Finish, stay off until server, login name
// and password are filled and the port is empty or a number from 1 to 65535, and a short hint
// stands beside each field that is wrong. The account fields take no CR, LF or NUL. The page
// finds the server from the e-mail address, lets the port follow server type and security,
// proposes SSL/TLS for a new account and warns of "None" (AccountPageController.h, as the main
// window's E-mail Server page does), and offers "Test Account" (AccountTest.h), which reports in
// a line of the page; a wizard that closes stops a search or test under way.
//
// Construct it with the host (the main window), show it modally with exec() and delete it
// afterwards. Creation copies the options in; the first showing enables the agent controls by
// the host's state and speaks the welcome mid-desktop. Closing:
//   "&Finish"          stops the character (hiding it), copies the options out, result Accepted;
//   "&Cancel", Escape  stops the character (hiding it), copies nothing, result Rejected;
//   the close box      copies nothing and leaves the character alone, result Rejected.
// However it closes, and again when it is destroyed, the wizard stores its position under the
// subkey "Wizard" of the settings root key; the existence of that subkey tells the next start
// that the wizard has run.
//
// Exceptions: the character's errors (from IWizardHost::MyAgentSpeak and SayTime) and the
// host's errors when setting an option are not caught; they leave the click handler they arise
// in and reach the application's default error report. A guide that fails stops the move under
// way, so the previous page stays in view. A failure to store the position is thrown after the
// wizard has closed.
//
// The pages live in a container of the wizard's own (TPageManager) rather than in QWizard.
// QWizard decides Back by its history of visited pages and has no prior-page rule to override;
// it enables Back and Next by its own rules instead of evaluating the wizard's rules after every
// move; its initializePage runs only on forward moves and cleanupPage replaces it on the way
// back, so there is no enter event for both directions and no show event after the page is in
// view; an exception in its page hooks leaves it half-way through its move; and its Finish
// button, button row and header/side-widget layout follow its own style rather than this
// window's layout with the logo column and the "&Stop Talking" button.
//
// The window takes 446 by 284 pixels, or more where its text needs it (the account page, a
// wider desktop font): nothing is clipped, elided or drawn over anything else, at any scale
// factor. The account page's lines keep their room; a provider's note or a long test result
// makes the window taller while it is shown.
#include "wizard/IWizardHost.h"
#include "wizard/PageManager.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class TAccountPageController;
class TAccountTest;
class TFormPlacement;

namespace platform {
class TRadioGroup;
}

class TFormWizard : public QDialog {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate. Host must outlive the wizard. Without a parent the
    // wizard is a window of the application's own, as the program opens it.
    explicit TFormWizard(IWizardHost& host, QWidget* parent = nullptr);
    ~TFormWizard() override;

    // Navigation rules (current page index; the target, passed in with the default).
    void PageManagerGetNextPage(int current, int& target);
    void PageManagerGetPriorPage(int current, int& target);

    // The enter handler of every page (forward: whether the move goes forward; not used): the
    // page's spoken guide (WizardPageInfo().Guide) beside the page area.
    void PageEnter(int page, bool forward);
    void FinishShow();

    // The buttons.
    void ButtonBackClick();
    void ButtonNextClick();
    void ButtonFinishClick();
    void WizButtonCancelClick();
    void WizButtonHelpClick();
    void ButtonStopTalkingClick();
    void ButtonSayTimeTestClick();

    // "Test Account": tests the account as it stands, or stops the test under way.
    void ButtonTestAccountClick();

    // Whether the wizard may be finished with its account as it stands: e-mail checking off,
    // or every account field will do.
    bool AccountAcceptable() const;

    // Values of the wizard's copy of an option, by the control's name (see WizardOptions()).
    QVariant OptionValue(const QString& name) const;
    void SetOptionValue(const QString& name, const QVariant& value);

    TPageManager* PageManager;
    QFrame* PanelLogo;
    QLabel* ImageLogo;
    QToolButton* ButtonStopTalking;
    QFrame* BevelButtons;
    QPushButton* WizButtonBack;
    QPushButton* WizButtonNext;
    QPushButton* ButtonFinish;
    QPushButton* WizButtonCancel;
    QPushButton* WizButtonHelp;

    // EnableEmail
    QCheckBox* CheckBoxEnableEmailCheck;
    // AccountOptions
    QLineEdit* EditEmailAddress;
    QPushButton* ButtonFindSettings;
    QLabel* LabelSettingsSource;
    QLabel* LabelProviderNote;
    QGroupBox* GroupBoxPOP3Account;
    QComboBox* ComboBoxMailProtocol;
    QLineEdit* EditIMAPFolder;
    QLineEdit* EditPOP3Server;
    QComboBox* ComboBoxPOP3Security;
    QLineEdit* EditPOP3Port;
    QLabel* LabelUnencryptedPassword;
    QLineEdit* EditPOP3Account;
    QLineEdit* EditPOP3Password;
    QPushButton* ButtonTestAccount;
    QLabel* LabelTestAccount;
    // The hints beside the account fields; hidden while the field's text will do.
    QLabel* HintPOP3Server;
    QLabel* HintPOP3Port;
    QLabel* HintPOP3Account;
    QLabel* HintPOP3Password;
    // What the account page does on its own: Find Settings, the port rule, secure by default.
    TAccountPageController* AccountPage;
    TAccountTest* AccountTest;
    platform::TRadioGroup* RadioGroupInternetConnection;
    // Notification
    QGroupBox* GroupBoxNotification;
    QCheckBox* CheckBoxEnableAgent;
    QCheckBox* CheckBoxSoundBeep;
    QGroupBox* GroupBoxAgentOptions;
    QLineEdit* EditYourName;
    QComboBox* FileComboBoxAgent;
    // Time
    platform::TRadioGroup* RadioGroupSayTimeInterval;
    QPushButton* ButtonSayTimeTest;
    // Startup
    QCheckBox* CheckBoxStartWithWindows;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

public slots:
    // Every way of closing ends here: stores the position, then closes.
    void done(int result) override;

private:
    void BuildControls();
    void FitToContent();
    QWidget* BuildPage(int index);
    void BuildEnableEmailPage(QWidget* content);
    void BuildAccountOptionsPage(QWidget* content);
    void BuildNotificationPage(QWidget* content);
    void BuildTimePage(QWidget* content);
    void BuildStartupPage(QWidget* content);
    void FormCreate();
    void FormShow();
    void SpeakGuide(int page, QWidget* anchor);
    void CopyOptionsIn();
    void CopyOptionsOut();
    void UpdateAccountState();
    void AccountTestFinished(bool passed, const QString& text);
    // The account page's lines may need more room than the window has: it grows.
    void AccountLinesChanged();

    IWizardHost& Host;
    TFormPlacement* Placement = nullptr;
    bool Shown = false;
    bool FinishShown = false;
};
