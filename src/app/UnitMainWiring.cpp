// Which handler each control, action and menu entry runs.
#include "app/Labels.h"
#include "app/UnitMain.h"

#include "app/AccountSecret.h"
#include "app/CertificateTrust.h"
#include "app/MailPush.h"
#include "app/NewMailNotification.h"

#include "agent/AgentControl.h"
#include "platform/RadioGroup.h"
#include "speech/OvcClock.h"
#include "tray/MarginMenu.h"
#include "tray/TrayIcon.h"
#include "wizard/AccountPageController.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QSlider>
#include <QTimeEdit>
#include <QTimer>
#include <QToolButton>

void TFormMain::ConnectControls() {
    const TActions& a = ActionList;
    connect(a.ActionCheckNow, &QAction::triggered, this, &TFormMain::ActionCheckNowExecute);
    connect(a.ActionStop, &QAction::triggered, this, &TFormMain::ActionStopExecute);
    connect(a.ActionLastError, &QAction::triggered, this, &TFormMain::ActionLastErrorExecute);
    connect(a.ActionMarkAsRead, &QAction::triggered, this, &TFormMain::ActionMarkAsReadExecute);
    connect(a.ActionLaunchEmail, &QAction::triggered, this, &TFormMain::ActionLaunchEmailExecute);
    connect(a.ActionEmailCheckingEnabled, &QAction::triggered, this,
            &TFormMain::ActionEmailCheckingEnabledExecute);
    connect(a.ActionHelp, &QAction::triggered, this, &TFormMain::ActionHelpExecute);
    connect(a.ActionCloseApp, &QAction::triggered, this, &QWidget::close);
    connect(a.ActionSayTime, &QAction::triggered, this, qOverload<>(&TFormMain::SayTime));
    connect(a.ActionViewMessages, &QAction::triggered, this, &TFormMain::ActionViewMessagesExecute);
    connect(Notification, &TNewMailNotification::LaunchEmailRequested, a.ActionLaunchEmail,
            &QAction::trigger);
    connect(Notification, &TNewMailNotification::MarkReadRequested, this, [this] {
        if (ActionList.ActionMarkAsRead->isEnabled())
            ActionList.ActionMarkAsRead->trigger();
    });
    connect(Notification, &TNewMailNotification::StatusText, this,
            [this](const QString& text) { ShowStatus(text, false); });

    // The E-mail Options check box shows the action's checked state; a click
    // on it runs the action.
    connect(a.ActionEmailCheckingEnabled, &QAction::toggled, CheckBoxEnableEmailCheck,
            [this](bool checked) {
                const QSignalBlocker blocker(CheckBoxEnableEmailCheck);
                CheckBoxEnableEmailCheck->setChecked(checked);
            });
    connect(CheckBoxEnableEmailCheck, &QCheckBox::clicked, this,
            [this] { ActionList.ActionEmailCheckingEnabled->trigger(); });
    ToolButtonSayTime->setDefaultAction(a.ActionSayTime);

    // Buttons that stand for an action follow its enabled state.
    auto bind = [this](QPushButton* button, QAction* action) {
        connect(button, &QPushButton::clicked, action, &QAction::trigger);
        connect(action, &QAction::enabledChanged, button, &QPushButton::setEnabled);
        button->setEnabled(action->isEnabled());
        button->setIcon(action->icon());
        button->setToolTip(action->toolTip());
    };
    bind(ButtonClose, a.ActionCloseApp);
    bind(ButtonHelp, a.ActionHelp);
    bind(ButtonDebugCheckNow, a.ActionCheckNow);
    bind(ButtonMessageWindow, a.ActionViewMessages);

    connect(ButtonMinimize, &QPushButton::clicked, this, &TFormMain::AppMinimize);
    connect(ButtonSetupWizard, &QPushButton::clicked, this, &TFormMain::ButtonSetupWizardClick);
    connect(ButtonDebugA, &QPushButton::clicked, this, &TFormMain::ButtonDebugAClick);
    ButtonDebugC->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ButtonDebugC, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenuTray.Menu->popup(ButtonDebugC->mapToGlobal(at)); });

    connect(CheckBoxStartWithWindows, &QCheckBox::toggled, this,
            &TFormMain::CheckBoxStartWithWindowsClick);
    connect(CheckBoxClockFace, &QCheckBox::toggled, this, &TFormMain::CheckBoxClockFaceClick);
    connect(CheckBoxDrawClockTickMarks, &QCheckBox::toggled, this,
            &TFormMain::CheckBoxDrawClockTickMarksClick);
    connect(SliderTimeout, &QSlider::valueChanged, this, &TFormMain::SliderTimeoutChange);
    connect(FilenameEmailClient, &QLineEdit::textChanged, this,
            &TFormMain::FilenameEmailClientChange);
    connect(ButtonBrowseEmailClient, &QToolButton::clicked, this,
            &TFormMain::ButtonBrowseEmailClientClick);
    connect(ButtonDefaultEmailClient, &QPushButton::clicked, this,
            &TFormMain::ButtonDefaultEmailClientClick);
    // Only the user's choice moves the port; a loaded or copied value does not (SetOption and
    // the load hold the rule).
    AccountPage = new TAccountPageController(
        {EditEmailAddress, ButtonFindSettings, LabelSettingsSource, LabelProviderNote,
         ComboBoxMailProtocol, EditPOP3Server, EditPOP3Port, ComboBoxPOP3Security,
         LabelUnencryptedWarning, EditPOP3Account, nullptr},
        this);
    connect(AccountPage, &TAccountPageController::LinesChanged, this,
            [this] { LabelSettingsSource->setVisible(!LabelSettingsSource->text().isEmpty()); });
    connect(ComboBoxMailProtocol, &QComboBox::currentIndexChanged, this,
            &TFormMain::MailProtocolShown);
    CertificateTrust =
        new TCertificateTrust(LabelTrustedCertificate, ButtonForgetCertificate, this);
    connect(CertificateTrust, &TCertificateTrust::Changed, this, [this] {
        SaveSettingsSoon();
        ScheduleMailPushUpdate();
    });
    Secret = new TAccountSecret(
        {EditPOP3Server, EditPOP3Account, EditPOP3Password, CheckBoxPasswordInKeyring}, nullptr,
        this);
    connect(CheckBoxPasswordInKeyring, &QCheckBox::clicked, this,
            &TFormMain::CheckBoxPasswordInKeyringClick);
    for (QLineEdit* edit : {EditPOP3Server, EditPOP3Account, EditPOP3Password})
        connect(edit, &QLineEdit::editingFinished, this, &TFormMain::KeyringAccountEdited);
    connect(Secret, &TAccountSecret::Status, this, &TFormMain::ShowStatus);
    connect(Secret, &TAccountSecret::SaveNeeded, this, &TFormMain::SaveSettingsNow);
    // The check that waited for the keyring's password starts as it was asked for.
    connect(Secret, &TAccountSecret::PasswordArrived, this, [this] {
        UpdateMailPush();
        if (KeyringCheckAskedByUser)
            ActionCheckNowExecute();
        else
            RunMailCheck();
    });
    // The push connection follows the account a moment after the last change.
    PushUpdateTimer = new QTimer(this);
    PushUpdateTimer->setObjectName(QStringLiteral("PushUpdateTimer"));
    PushUpdateTimer->setSingleShot(true);
    PushUpdateTimer->setInterval(1000);
    connect(PushUpdateTimer, &QTimer::timeout, this, &TFormMain::UpdateMailPush);
    for (QLineEdit* edit :
         {EditPOP3Server, EditPOP3Port, EditPOP3Account, EditPOP3Password, EditIMAPFolder})
        connect(edit, &QLineEdit::textChanged, this, &TFormMain::ScheduleMailPushUpdate);
    for (QComboBox* combo : {ComboBoxMailProtocol, ComboBoxPOP3Security})
        connect(combo, &QComboBox::currentIndexChanged, this, &TFormMain::ScheduleMailPushUpdate);
    connect(CheckBoxIMAPPush, &QCheckBox::toggled, this, &TFormMain::ScheduleMailPushUpdate);
    connect(a.ActionEmailCheckingEnabled, &QAction::toggled, this,
            &TFormMain::ScheduleMailPushUpdate);
    // A push check is one the user did not ask for: quiet hours and the rest apply.
    connect(Push, &TMailPush::CheckWanted, this, &TFormMain::RunMailCheck);
    connect(Push, &TMailPush::Status, this,
            [this](const QString& text) { ShowStatus(text, false); });
    connect(Push, &TMailPush::Debug, this, [this](const QString& text) { DebugLine(text, false); });
    connect(CheckBoxQuietHours, &QCheckBox::toggled, this, [this](bool on) {
        QuietHoursFrom->setEnabled(on);
        QuietHoursTo->setEnabled(on);
    });
    connect(ButtonAgentProperties, &QPushButton::clicked, this,
            &TFormMain::ButtonAgentPropertiesClick);
    // Every change the user makes to the character box: typing and choosing.
    connect(FileComboBoxAgent->lineEdit(), &QLineEdit::textEdited, this,
            &TFormMain::FileComboBoxAgentChange);
    connect(FileComboBoxAgent, &QComboBox::activated, this, &TFormMain::FileComboBoxAgentChange);

    connect(LabelNumUnreadMessages, &TClickLabel::DoubleClicked, this,
            &TFormMain::LabelNumUnreadMessagesDblClick);
    connect(LabelNumMessages, &TClickLabel::DoubleClicked, this,
            &TFormMain::PanelNumMessagesDblClick);
    connect(OvcLabel1, &TClickLabel::DoubleClicked, this, &TFormMain::PanelNumMessagesDblClick);

    connect(OvcClock, &::OvcClock::MinuteChange, this, &TFormMain::OvcClockMinuteChange);
    connect(TimerConnection, &QTimer::timeout, this, &TFormMain::TimerConnectionTimer);

    connect(RxTrayIcon, &TTrayIcon::DoubleClicked, this, &TFormMain::RxTrayIconDblClick);
    connect(RxPopupMenuTray.Menu, &QMenu::aboutToShow, this, &TFormMain::RxPopupMenuTrayPopup);
    connect(RxPopupMenuTray.OptionsGeneral, &QAction::triggered, this, [this] {
        SelectPage(QStringLiteral("General"));
        PopupMenuTrayShowClick();
    });
    connect(RxPopupMenuTray.OptionsNotification, &QAction::triggered, this, [this] {
        SelectPage(QStringLiteral("Notification"));
        PopupMenuTrayShowClick();
    });
    connect(RxPopupMenuTray.OptionsEmail, &QAction::triggered, this, [this] {
        SelectPage(QStringLiteral("E-mail Server"));
        PopupMenuTrayShowClick();
    });
    connect(RxPopupMenuTray.OptionsEmailOptions, &QAction::triggered, this, [this] {
        SelectPage(QStringLiteral("E-mail Options"));
        PopupMenuTrayShowClick();
    });
    connect(RxPopupMenuTray.About, &QAction::triggered, this, [this] {
        SelectPage(QStringLiteral("About"));
        PopupMenuTrayShowClick();
    });

    // F1 opens the help of the page in view (1000 outside the pages).
    auto* help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, [this] {
        static const std::map<QString, int> contexts{
            {"About", 4000},        {"General", 5000},       {"Time", 6000},
            {"Notification", 7000}, {"E-mail Server", 8000}, {"E-mail Options", 9000}};
        const auto found = contexts.find(CurrentPageName());
        OpenHelp(found != contexts.end() ? found->second : 1000);
    });
}
