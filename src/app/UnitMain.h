#pragma once
// The main window: the program's only permanent window and the owner of
// nearly all of its state. Every option lives in one of its controls (the
// control's objectName is the option's stored value name), its handlers are
// the program's commands, and its creation sequence is the program's
// start-up configuration. Closing it ends the program; minimising hides it,
// leaving the tray icon.
#include "app/StatusLog.h"
#include "app/CommandLine.h"

#include <QStringList>
#include <QWidget>
#include <optional>

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
class TClickLabel;
class TFormDebug;
class TLinkLabel;
class QSystemTrayIcon;

namespace platform {
class TRadioGroup;
}

class TFormMain : public QWidget {
    Q_OBJECT
public:
    // Runs the creation sequence with the command line's arguments (without
    // the program name).
    explicit TFormMain(const QStringList& arguments, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The one status routine: status bar, optionally the tray hint, and with
    // debugging on a time-stamped entry in the debug window and the log.
    // May be called from any thread; a call from another thread is carried
    // out on the window thread, in call order, the caller waiting for it.
    // Throws EInOutError when the log cannot be written.
    void ShowStatus(const QString& text, bool alsoTray);

    // The debug window is created after this window; entries that arise
    // before it exists are kept and handed over then.
    void SetDebugForm(TFormDebug* form);

    bool DebugMode() const { return Debugging; }
    bool StartHidden() const { return StartHiddenFlag; }
    bool RunWizard() const { return RunWizardFlag; }
    bool HighColorDisplay() const { return HighColor; }
    const TDebugLogFile& DebugLog() const { return LogFile; }
    QString StatusText() const;
    QString TrayHint() const { return CurrentTrayHint; }
    int CurrentPageIndex() const;
    QString CurrentPageName() const;
    void SelectPage(const QString& caption);

    // Commands of the window.
    void AppMinimize();
    void AppRestore();
    void PopupMenuTrayShowClick();
    void ButtonSetupWizardClick();
    void ButtonDebugAClick();
    // The two halves of the close sequence; FormCloseQuery returns whether
    // the close may go on.
    bool FormCloseQuery();
    void FormClose();

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
    QWidget* OvcClock;
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
    QSystemTrayIcon* TrayIcon;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    QWidget* BuildAboutPage();
    QWidget* BuildGeneralPage();
    QWidget* BuildTimePage();
    QWidget* BuildNotificationPage();
    QWidget* BuildEmailServerPage();
    QWidget* BuildEmailOptionsPage();
    QWidget* BuildDebugPage();
    void FormCreate(const QStringList& arguments);
    void ShowStatusHere(const QString& text, bool alsoTray);
    void SetTrayHint(const QString& hint);

    bool Debugging = false;
    bool StartHiddenFlag = false;
    bool RunWizardFlag = false;
    bool HighColor = false;
    bool Closing = false;
    QString ExecutablePath;
    QString HelpFile;
    QString CharacterDir;
    QString CurrentTrayHint;
    TDebugLogFile LogFile;
    TFormDebug* DebugForm = nullptr;
    QStringList PendingDebugEntries;
    QLabel* StatusText_ = nullptr;
};
