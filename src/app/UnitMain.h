#pragma once
// The main window: the program's only permanent window and the owner of
// nearly all of its state. Every option lives in one of its controls (the
// control's objectName is the option's stored value name), its handlers are
// the program's commands, and its creation sequence is the program's
// start-up configuration. Closing it ends the program; minimising hides it,
// leaving the tray icon.
//
// The handlers are spread over files by subsystem: UnitMain.cpp (creation,
// status, close), UnitMainControls.cpp (pages), UnitMainSettings.cpp,
// UnitMainSpeech.cpp (character, clock, spoken time), UnitMainMail.cpp (mail
// checks) and UnitMainTray.cpp (tray, commands, program state).
#include "app/CommandLine.h"
#include "app/StatusLog.h"
#include "imap/ImapClient.h"
#include "mail/CheckMsgHost.h"
#include "mail/MessageTable.h"
#include "mail/RecentList.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"
#include "settings/SettingsControls.h"
#include "speech/QuietHours.h"
#include "tray/ActionTable.h"
#include "tray/TrayMenus.h"
#include "wizard/IWizardHost.h"

#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QWidget>
#include <exception>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QStatusBar;
class QTabWidget;
class QTimeEdit;
class QTimer;
class QToolBar;
class QToolButton;
class OvcClock;
class TAccountPageController;
class TAccountSecret;
class TCertificateTrust;
class TAgentControl;
class TAutoStart;
class TCheckMsgThread;
class TClickLabel;
class TFormDebug;
class TFormMessages;
class TFormPlacement;
class TLinkLabel;
class TMailPush;
class TNewMailNotification;
class TRegistry;
class TTrayIcon;

namespace platform {
class TProgramWatch;
class TRadioGroup;
class TSystemProbes;
} // namespace platform

class TFormMain : public QWidget, public ISettingsControls, public IWizardHost {
    Q_OBJECT
public:
    // Runs the creation sequence with the command line's arguments (without
    // the program name). A start-up step that fails (the debug log cannot be
    // created, a stored setting has the wrong type) is reported once and the
    // start goes on; only what no step expects (out of memory) passes on.
    explicit TFormMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The one status routine: status bar, optionally the tray hint, and with
    // debugging on a time-stamped entry in the debug window and the log.
    // May be called from any thread; a call from another thread is carried
    // out on the window thread, in call order, the caller waiting for it.
    // Throws EInOutError when the log cannot be written.
    void ShowStatus(const QString& text, bool alsoTray);

    // The two windows created after this one; entries that arise before the
    // debug window exists are kept and handed over then.
    void SetDebugForm(TFormDebug* form);
    void SetMessagesForm(TFormMessages* form) { FormMessages = form; }

    bool DebugMode() const { return Debugging; }
    bool StartHidden() const { return StartHiddenFlag; }
    bool RunWizard() const { return RunWizardFlag; }
    bool AgentLoaded() override { return AgentLoadedFlag; }
    const QString& CharacterFile() const { return CharacterFileName; }
    const QString& CharacterDir() const { return CharacterDirectory; }
    bool ShowAgentNotInstalledMessage() const { return gblnShowAgentNotInstalledMessage; }
    const TDebugLogFile& DebugLog() const { return LogFile; }
    QString StatusText() const;
    QString TrayHint() const;
    int CurrentPageIndex() const;
    QString CurrentPageName() const;
    void SelectPage(const QString& caption);
    TRegistry& Registry() override { return *RegistryStore; }
    TTrayIcon* TrayIcon() const { return RxTrayIcon; }
    TAgentControl* AgentControl() const { return AgentControlPtr; }
    TMessageTable& MessageTable() { return mtMessage; }
    TRecentList& RecentList() { return MenuMRU; }
    TWinshoePOP3& POP3() { return POP3Client; }
    TImapClient& IMAP() { return IMAPClient; }
    TMailPush& MailPush() const { return *Push; }
    TCheckMsgThread* CurrentWorker() const;
    const TActions& Actions() const { return ActionList; }
    const TTrayMenu& TrayMenu() const { return RxPopupMenuTray; }
    const TSecondPopupMenu& SecondPopupMenu() const { return PopupMenuTray; }

    // Window commands.
    void AppMinimize();
    void AppRestore();
    void PopupMenuTrayShowClick();
    void ButtonSetupWizardClick();
    void ButtonDebugAClick();
    // The two halves of the close sequence; FormCloseQuery returns whether
    // the close may go on. Both throw when the settings cannot be written.
    bool FormCloseQuery();
    void FormClose();
    // Closes the window at a request to end that cannot be refused (SIGTERM,
    // SIGINT, SIGHUP, the end of the desktop session): a failed save does
    // not keep the program running but is reported on standard error and in
    // the debug log, and the program's exit status is then EXIT_FAILURE.
    void EndSession();

    // Settings.
    void ReadRegistryEntries();
    void WriteRegistryEntries();
    // Besides the close, the settings are written (atomically, as at the
    // close) after each completed mail check and about a second after the
    // user has changed an option, so that a crash, a power cut or SIGKILL
    // loses neither the option nor what the last check left for the next.
    // A failure is shown in the status bar once; the close still reports it.
    void SaveSettingsSoon();
    void SaveSettingsNow();
    void CheckBoxStartWithWindowsClick();
    void SetBoolean(const QString& name, bool value) override;
    void SetInteger(const QString& name, int value) override;
    void SetString(const QString& name, const std::string& bytes) override;
    bool GetBoolean(const QString& name) const override;
    int GetInteger(const QString& name) const override;
    std::string GetString(const QString& name) const override;

    // Speech host, clock and spoken time.
    void SetAgentEnabled(bool enabled);
    void FileComboBoxAgentChange();
    void ButtonAgentPropertiesClick();
    void MyAgentSpeak(const QString& text, QWidget* anchor, bool hide) override;
    void MyAgentStopAll(bool hide) override;
    void AgentDblClick();
    // "Time Now": the time with the name in "Your Name".
    void SayTime();
    void SayTime(const QString& yourName) override;
    void OvcClockMinuteChange();
    // What the program says of its own accord (the time at the minute tick, the announcements
    // and the new-mail sound of a check the minute tick started) is held back within quiet
    // hours and while the desktop's do-not-disturb is on; what the user asks for (Time Now,
    // Check Now, Recent Messages, the wizard's Test) is always spoken.
    TQuietHours QuietHours() const;
    // Whether the running check may be heard: always for a Check Now; otherwise decided at the
    // first call for the check (the desktop is asked then, once) and kept until its end.
    bool CheckMayBeHeard();
    // One announcement of the running check: spoken beside the clock, or, when the check may
    // not be heard, shown in the balloon of a character that is already on the screen (and
    // nothing when it is not). Throws EAgentError from the character.
    void AnnounceMail(const QString& text, bool hide);
    void CheckBoxClockFaceClick();
    void CheckBoxDrawClockTickMarksClick();

    // Mail checks.
    void RunMailCheck();
    // Whether the check running now (or the last one started) was asked for by
    // the user (Check Now) rather than started by the minute tick: only then is
    // the user there to answer a question about it.
    bool CheckAskedByUser() const { return CheckAskedByUserFlag; }
    void ActionCheckNowExecute();
    void ActionStopExecute();
    void TimerConnectionTimer();
    void ActionLastErrorExecute();
    void ActionMarkAsReadExecute();
    void ActionEmailCheckingEnabledExecute();
    void SliderTimeoutChange();
    void LabelNumUnreadMessagesDblClick();
    void PanelNumMessagesDblClick();
    void MenuMRUClick(int index);
    void ActionViewMessagesExecute();
    // Once a check has ended: saves what it left for the next one, offers to trust the
    // certificate it refused when the user asked for the check (a scheduled check never asks),
    // and shows the desktop notification of new mail when that option is on.
    void MailCheckEnded(const TCheckOutcome& outcome);

    // Tray, commands and program state. The e-mail client's process is looked
    // for at the minute tick and when a check is about to run (lookForClient),
    // and once found is watched until it ends; other calls go by what is known.
    int CheckProgramState(bool lookForClient = false);
    void SetTrayIcon(int index);
    void RxTrayIconDblClick();
    void RxPopupMenuTrayPopup();
    void ActionHelpExecute();
    void ActionLaunchEmailExecute();
    void FilenameEmailClientChange();
    void ButtonBrowseEmailClientClick();
    void ButtonDefaultEmailClientClick();

    bool ImapChosen() const;
    // The push connection follows the account, the server type, "CheckBoxIMAPPush" and the
    // checking switch: UpdateMailPush starts, restarts or stops it (and forgets LastIMAPUID
    // once the server, login name, type or folder is another); a change of those controls
    // runs it a moment later. The minute tick skips its check while the push connection
    // covers it (MailPush.h).
    void UpdateMailPush();
    // The certificate the user chose to trust for the server: "<server> <SHA-256 in hex>", or
    // empty. Stored as "POP3TrustedCertificate"; shown read-only on the E-mail Server page.
    const QString& TrustedCertificate() const;
    void SetTrustedCertificate(const QString& value);
    // "Keep the password in the desktop keyring": the user's switch, and a change of the
    // password, server or login name while it is on (the duties are AccountSecret.h's).
    void CheckBoxPasswordInKeyringClick(bool on);
    void KeyringAccountEdited();
    bool RasAvailable() const { return RasAvailableFlag; }

    // What the setup wizard needs of this window.
    QVariant GetOption(const QString& name) override;
    void SetOption(const QString& name, const QVariant& value) override;
    bool EnableAgentChecked() override;
    bool DialUpAvailable() override;
    void SetRasAvailable(bool available) override;
    QPixmap LogoPixmap() override;
    void OpenHelp(int context) override;

    // Controls, named as the options they hold.
    QTabWidget* PageControl;
    QWidget* TabSheetAbout;
    QWidget* TabSheetGeneral;
    QWidget* TabSheetTime;
    QWidget* TabSheetNotification;
    QWidget* TabSheetEmailServer;
    QWidget* TabSheetEmailOptions;
    QWidget* TabSheetDebug;

    // About
    QLabel* ImageLogo;
    TClickLabel* OvcLabel1;
    QLabel* LabelVersion;
    TLinkLabel* LinkUpdate;
    TLinkLabel* LinkSupport;
    TLinkLabel* LinkAgentInfo;
    TLinkLabel* LinkHome;
    // General
    QCheckBox* CheckBoxStartWithWindows;
    QPushButton* ButtonSetupWizard;
    // Time
    ::OvcClock* OvcClock;
    platform::TRadioGroup* RadioGroupSayTimeInterval;
    QGroupBox* GroupBoxClockFace;
    QCheckBox* CheckBoxClockFace;
    QCheckBox* CheckBoxDrawClockTickMarks;
    QGroupBox* GroupBoxQuietHours;
    QCheckBox* CheckBoxQuietHours;
    QTimeEdit* QuietHoursFrom;
    QTimeEdit* QuietHoursTo;
    QToolButton* ToolButtonSayTime;
    QLabel* LabelMSAgentNotInstalled2;
    // Notification
    QCheckBox* CheckBoxEnableAgent;
    QLabel* LabelMSAgentNotInstalled1;
    QCheckBox* CheckBoxSoundBeep;
    QCheckBox* CheckBoxDesktopNotification;
    QCheckBox* CheckBoxAgentNoFly;
    QGroupBox* GroupBoxAgentOptions;
    QLabel* LabelFileComboBoxAgent;
    QComboBox* FileComboBoxAgent;
    QPushButton* ButtonAgentProperties;
    QLabel* LabelYourName;
    QLineEdit* EditYourName;
    QCheckBox* CheckBoxHideAgentAfterSpeak;
    // E-mail Server
    QLineEdit* EditEmailAddress;
    QPushButton* ButtonFindSettings;
    QLabel* LabelSettingsSource;
    QLabel* LabelProviderNote;
    QLabel* LabelUnencryptedWarning;
    QComboBox* ComboBoxMailProtocol;
    QLineEdit* EditPOP3Server;
    QLineEdit* EditPOP3Port;
    QComboBox* ComboBoxPOP3Security;
    QLineEdit* EditPOP3Account;
    QLineEdit* EditPOP3Password;
    QCheckBox* CheckBoxPasswordInKeyring;
    QLabel* LabelIMAPFolder;
    QLineEdit* EditIMAPFolder;
    QCheckBox* CheckBoxIMAPPush;
    QLabel* LabelTrustedCertificate;
    QPushButton* ButtonForgetCertificate;
    QSlider* SliderTimeout;
    QLabel* LabelTimeout;
    // E-mail Options
    QCheckBox* CheckBoxEnableEmailCheck;
    QSpinBox* CheckInterval;
    QSpinBox* MaxMessages;
    platform::TRadioGroup* RadioGroupInternetConnection;
    QLineEdit* FilenameEmailClient;
    QToolButton* ButtonBrowseEmailClient;
    QPushButton* ButtonDefaultEmailClient;
    QCheckBox* CheckBoxSuspendChecks;
    // Debug
    QPushButton* ButtonDebugA;
    QPushButton* ButtonDebugB;
    QPushButton* ButtonDebugC;
    QLabel* PanelLastMessageID;
    QLabel* PanelPrevNumMessages;
    QLabel* PanelLastMessageUID;
    QLabel* PanelLastIMAPUID;
    QPushButton* ButtonDebugCheckNow;
    QPushButton* ButtonMessageWindow;
    // Below the pages
    QToolBar* ToolBarMain;
    QStatusBar* StatusBar;
    TClickLabel* LabelNumUnreadMessages;
    TClickLabel* LabelNumMessages;
    QPushButton* ButtonMinimize;
    QPushButton* ButtonClose;
    QPushButton* ButtonHelp;

    QTimer* TimerConnection;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    class TCheckHost;

    void BuildControls();
    QWidget* BuildAboutPage();
    QWidget* BuildGeneralPage();
    QWidget* BuildTimePage();
    QWidget* BuildNotificationPage();
    QWidget* BuildEmailServerPage();
    QWidget* BuildEmailOptionsPage();
    QWidget* BuildDebugPage();
    void ConnectControls();
    void FormCreate(const QStringList& arguments);
    void StartSpeechHost();
    void FillCharacterBox();
    // The character box shows names and stores file names ("FileComboBoxAgent").
    QString CharacterBoxFile() const;
    void SetCharacterBoxFile(const QString& fileName);
    void FitToContent();
    void ReportFailedSave(const std::exception_ptr& failure);
    void ShowStartUpErrors();
    void PrepareStoredPassword();
    void SettingsWritten();
    void LoadKeyringPassword();
    void WatchOptionChanges();
    void LayOutAllPages();
    void RunFirstStartWizard();
    void ShowStatusHere(const QString& text, bool alsoTray);
    void DebugLine(const QString& text, bool asteriskSound);
    void SetStatusBarOnly(const QString& text);
    void UpdateMailCommands();
    void MailProtocolShown();
    void ScheduleMailPushUpdate();
    // Protocol, server, login name and folder: the account LastIMAPUID belongs to.
    QString MailAccountKey() const;
    void ForgetImapMemoryOfOtherAccount();
    QWidget* OptionControl(const QString& name) const;

    static constexpr QSize DesignedSize{388, 452};
    bool Debugging = false;
    bool StartHiddenFlag = false;
    bool RunWizardFlag = false;
    bool HighColor = false;
    bool Closing = false;
    bool MinimizePending = false;
    bool EndRequested = false;
    bool LoadingSettings = false;
    bool LogFileUsable = true;
    QStringList StartUpErrors;
    bool Created = false;
    bool SaveFailing = false;
    QTimer* SaveTimer = nullptr;
    int ExitStatus = 0;
    bool RecursionFlag = false;
    bool NextCheckAskedByUser = false;
    bool CheckAskedByUserFlag = false;
    // The check CheckMayBeHeard decided for (a guarded pointer: a new check is another
    // object, so an old decision never carries over) and what it decided.
    QPointer<TCheckMsgThread> HeardDecidedFor;
    bool CheckHeard = true;
    bool RasAvailableFlag = false;
    platform::TProgramWatch* EmailClientWatch = nullptr;
    bool AgentLoadedFlag = false;
    bool gblnShowAgentNotInstalledMessage = true;
    QString ExecutablePath;
    QString HelpFile;
    QString CharacterDirectory;
    QString CharacterFileName;
    QStringList RecentCharacters;
    TCertificateTrust* CertificateTrust = nullptr;
    // Whether the check that waits for the keyring's password was asked for by the user.
    bool KeyringCheckAskedByUser = false;
    TDebugLogFile LogFile;
    TFormDebug* DebugForm = nullptr;
    TFormMessages* FormMessages = nullptr;
    QStringList PendingDebugEntries;
    QLabel* StatusTextLabel = nullptr;

    std::unique_ptr<TRegistry> RegistryStore;
    std::unique_ptr<TAutoStart> AutoStart;
    std::unique_ptr<platform::TSystemProbes> Probes;
    TFormPlacement* Placement = nullptr;
    TTrayIcon* RxTrayIcon = nullptr;
    TActions ActionList;
    TTrayMenu RxPopupMenuTray;
    TSecondPopupMenu PopupMenuTray;
    TAgentControl* AgentControlPtr = nullptr;
    TWinshoePOP3 POP3Client;
    TImapClient IMAPClient;
    // The client of the running (or last) check.
    TWinshoeClient* CheckClient = &POP3Client;
    TMailPush* Push = nullptr;
    QTimer* PushUpdateTimer = nullptr;
    QString ImapMemoryAccount;
    QString CheckAccountKey;
    // Find Settings, the port rule and the secure default of the E-mail Server page.
    TAccountPageController* AccountPage = nullptr;
    TWinshoeMessage Msg;
    TMessageTable mtMessage;
    TRecentList MenuMRU;
    std::unique_ptr<ICheckMsgHost> CheckHost; // a TCheckHost, made at the first check
    TAccountSecret* Secret = nullptr;
    TNewMailNotification* Notification = nullptr;
    QPointer<TCheckMsgThread> Worker;
};
