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
#include "mail/MessageTable.h"
#include "mail/RecentList.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"
#include "settings/SettingsControls.h"
#include "tray/ActionTable.h"
#include "tray/TrayMenus.h"
#include "wizard/IWizardHost.h"

#include <QPixmap>
#include <QPointer>
#include <QStringList>
#include <QVariant>
#include <QWidget>
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
class QTimer;
class QToolBar;
class QToolButton;
class OvcClock;
class TAgentControl;
class TAutoStart;
class TCheckMsgThread;
class TClickLabel;
class TFormDebug;
class TFormMessages;
class TFormPlacement;
class TLinkLabel;
class TRegistry;
class TTrayIcon;

namespace platform {
class TRadioGroup;
class TSystemProbes;
} // namespace platform

class TFormMain : public QWidget, public ISettingsControls, public IWizardHost {
    Q_OBJECT
public:
    // Runs the creation sequence with the command line's arguments (without
    // the program name). Throws when the creation ends early (the debug log
    // cannot be created, a stored setting has the wrong type).
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
    bool HighColorDisplay() override { return HighColor; }
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

    // Settings.
    void ReadRegistryEntries();
    void WriteRegistryEntries();
    void CheckBoxStartWithWindowsClick();
    void SetBoolean(const QString& name, bool value) override;
    void SetInteger(const QString& name, int value) override;
    void SetString(const QString& name, const QString& value) override;
    bool GetBoolean(const QString& name) const override;
    int GetInteger(const QString& name) const override;
    QString GetString(const QString& name) const override;

    // Speech host, clock and spoken time.
    void SetAgentEnabled(bool enabled);
    void FileComboBoxAgentChange();
    void ButtonAgentPropertiesClick();
    void MyAgentSpeak(const QString& text, QWidget* anchor, bool hide) override;
    void MyAgentStopAll(bool hide) override;
    void AgentDblClick();
    void SayTime() override;
    void OvcClockMinuteChange();
    void CheckBoxClockFaceClick();
    void CheckBoxDrawClockTickMarksClick();

    // Mail checks.
    void RunMailCheck();
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

    // Tray, commands and program state. The e-mail client's process is looked
    // for only when a check is about to run (RunMailCheck says so); other calls
    // go by what that look found.
    int CheckProgramState(bool checkAboutToRun = false);
    void SetTrayIcon(int index);
    void RxTrayIconDblClick();
    void RxPopupMenuTrayPopup();
    void ActionHelpExecute();
    void ActionLaunchEmailExecute();
    void FilenameEmailClientChange();
    void ButtonBrowseEmailClientClick();
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
    QToolButton* ToolButtonSayTime;
    QLabel* LabelMSAgentNotInstalled2;
    // Notification
    QCheckBox* CheckBoxEnableAgent;
    QLabel* LabelMSAgentNotInstalled1;
    QCheckBox* CheckBoxSoundBeep;
    QCheckBox* CheckBoxAgentNoFly;
    QGroupBox* GroupBoxAgentOptions;
    QLabel* LabelFileComboBoxAgent;
    QComboBox* FileComboBoxAgent;
    QPushButton* ButtonAgentProperties;
    QLabel* LabelYourName;
    QLineEdit* EditYourName;
    QCheckBox* CheckBoxHideAgentAfterSpeak;
    // E-mail Server
    QLineEdit* EditPOP3Server;
    QLineEdit* EditPOP3Port;
    QLineEdit* EditPOP3Account;
    QLineEdit* EditPOP3Password;
    QSlider* SliderTimeout;
    QLabel* LabelTimeout;
    // E-mail Options
    QCheckBox* CheckBoxEnableEmailCheck;
    QSpinBox* CheckInterval;
    QSpinBox* MaxMessages;
    platform::TRadioGroup* RadioGroupInternetConnection;
    QLineEdit* FilenameEmailClient;
    QToolButton* ButtonBrowseEmailClient;
    QCheckBox* CheckBoxSuspendChecks;
    // Debug
    QPushButton* ButtonDebugA;
    QPushButton* ButtonDebugB;
    QPushButton* ButtonDebugC;
    QLabel* PanelLastMessageID;
    QLabel* PanelPrevNumMessages;
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
    void LayOutAllPages();
    void RunFirstStartWizard();
    void ShowStatusHere(const QString& text, bool alsoTray);
    void DebugLine(const QString& text, bool asteriskSound);
    void SetStatusBarOnly(const QString& text);
    void UpdateMailCommands();
    QWidget* OptionControl(const QString& name) const;

    bool Debugging = false;
    bool StartHiddenFlag = false;
    bool RunWizardFlag = false;
    bool HighColor = false;
    bool Closing = false;
    bool RecursionFlag = false;
    bool RasAvailableFlag = false;
    bool EmailClientSeenRunning = false;
    bool AgentLoadedFlag = false;
    bool gblnShowAgentNotInstalledMessage = true;
    int LastValidCheckInterval = 3;
    QString ExecutablePath;
    QString HelpFile;
    QString CharacterDirectory;
    QString CharacterFileName;
    QStringList RecentCharacters;
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
    TWinshoeMessage Msg;
    TMessageTable mtMessage;
    TRecentList MenuMRU;
    std::unique_ptr<TCheckHost> CheckHost;
    QPointer<TCheckMsgThread> Worker;
};
