#include "app/UnitMain.h"

#include "agent/AgentControl.h"
#include "app/Identity.h"
#include "app/Labels.h"
#include "app/MailPush.h"
#include "app/NewMailNotification.h"
#include "app/UnitDebug.h"
#include "mail/CheckMsgThread.h"
#include "mail/SessionInfoRecord.h"
#include "platform/Display.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/PlainText.h"
#include "platform/RadioGroup.h"
#include "platform/Sounds.h"
#include "platform/TimeFormat.h"
#include "platform/WindowSystem.h"
#include "platform/autostart/XdgAutoStart.h"
#include "platform/probes/SystemProbes.h"
#include "platform/registry/FileRegistry.h"
#include "settings/FormPlacement.h"
#include "settings/RegistryEntries.h"
#include "settings/Scrambler.h"
#include "settings/SettingsTable.h"
#include "speech/OvcClock.h"
#include "tray/ImageLists.h"
#include "tray/MarginMenu.h"
#include "tray/TrayIcon.h"
#include "wizard/AccountPageController.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QStatusBar>
#include <QTabWidget>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <utility>

TFormMain::TFormMain(const QStringList& arguments, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      LogFile(platform::StateDir() + "/" + identity::DebugLogName) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(identity::ProductName);
    setWindowIcon(TImageLists::AppIcon());
    // The window uses the desktop's font in place of "MS Sans Serif" 8 point,
    // which Linux desktops do not have; FitToContent gives it the size that
    // font needs.

    // The window's components, before its creation sequence runs.
    ActionList = CreateActions(this);
    RxPopupMenuTray = BuildTrayMenu(ActionList, this);
    PopupMenuTray = BuildSecondPopupMenu(ActionList, this);
    // The tray icon is in the notification area from the moment the window's
    // components exist, with its start picture and hint. It goes in first,
    // and the request reaches the panel at once, not when the start-up is
    // over: the icon is the sign that the program has started.
    RxTrayIcon = new TTrayIcon(this);
    RxTrayIcon->setObjectName(QStringLiteral("RxTrayIcon"));
    RxTrayIcon->SetMenu(RxPopupMenuTray.Menu);
    RxTrayIcon->Show();
    platform::FlushWindowSystem();
    BuildControls();
    FitToContent();
    TimerConnection = new QTimer(this);
    TimerConnection->setObjectName(QStringLiteral("TimerConnection"));
    RegistryStore = std::make_unique<TFileRegistry>();
    AutoStart = std::make_unique<TXdgAutoStart>();
    Probes = platform::CreateSystemProbes();
    Notification = new TNewMailNotification(this);
    Push = new TMailPush(this);
    ConnectControls();
    MailProtocolShown();
    SaveTimer = new QTimer(this);
    SaveTimer->setObjectName(QStringLiteral("SaveTimer"));
    SaveTimer->setSingleShot(true);
    SaveTimer->setInterval(1000);
    connect(SaveTimer, &QTimer::timeout, this, &TFormMain::SaveSettingsNow);
    WatchOptionChanges();

    try {
        FormCreate(arguments);
    } catch (...) {
        // The placement store is a child of this window and uses the
        // registry, which goes before the window's children do.
        delete Placement;
        Placement = nullptr;
        throw;
    }
}

TFormMain::~TFormMain() {
    // The placement store saves once more as the window goes.
    delete Placement;
    Placement = nullptr;
}

void TFormMain::FormCreate(const QStringList& arguments) {
    // 1. Minimise and restore reach AppMinimize and AppRestore through
    //    changeEvent.
    // 2. Identity values.
    ExecutablePath = platform::ExecutablePath();
    // 3., 4.
    LabelVersion->setText(identity::VersionText);
    LinkUpdate->SetUrl(LinkUpdate->Url() + QStringLiteral("?ClientVerNo=") + identity::Version);
    // 5. The window-placement store, under "Window"; without a stored
    //    position the window stands in the middle of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    Placement = new TFormPlacement(this, *RegistryStore, QString::fromLatin1(WindowSubkey));
    Placement->SetApplicationMinimized([this] { return !isVisible(); });
    // 6.
    SessionInfoRecord& session = SessionInfo();
    session.NumMessages = 0;
    session.NumNewMessages = 0;
    session.PrevNumMessages = 0;
    session.NumUnreadMessages = 0;
    session.FirstAnnouncement = false;
    session.EmailFlag = false;
    // 7. A hive that could not be read has been kept aside; say so once.
    RunWizardFlag = IsFirstRun(*RegistryStore);
    const std::string hiveError = RegistryStore->TakeHiveError();
    if (!hiveError.empty())
        platform::MessageDlg(QString::fromStdString(hiveError), platform::TMsgDlgType::Error,
                             platform::mbOK);
    // 8. A start-up step that fails while the settings are applied (the
    //    start-at-login entry cannot be written) is skipped; its error is
    //    shown once, after the load, and the start-up goes on.
    {
        LoadingSettings = true;
        AccountPage->HoldPortRule(true);
        struct TLoadEnd {
            TFormMain& Form;
            ~TLoadEnd() {
                Form.LoadingSettings = false;
                Form.AccountPage->HoldPortRule(false);
            }
        } loadEnd{*this};
        ReadRegistryEntries();
    }
    ShowStartUpErrors();
    AccountPage->ShowKnownProvider();
    // LastIMAPUID as loaded belongs to the account as loaded.
    ImapMemoryAccount = MailAccountKey();
    LoadKeyringPassword();
    // 9.
    Debugging = false;
    StartHiddenFlag = false;
    PageControl->setTabVisible(PageControl->indexOf(TabSheetDebug), false);
    // 10. A log that cannot be created is reported once; debugging goes on
    //     without the file (the debug window still lists every entry).
    const TCommandLine commandLine = ParseCommandLine(arguments);
    StartHiddenFlag = commandLine.StartHidden;
    Debugging = commandLine.Debugging;
    if (Debugging)
        PageControl->setTabVisible(PageControl->indexOf(TabSheetDebug), true);
    for (int i = 0; i < commandLine.DebugSwitchCount && LogFileUsable; ++i) {
        try {
            LogFile.Create();
        } catch (const std::exception& e) {
            LogFileUsable = false;
            StartUpErrors << QString::fromUtf8(e.what());
        }
    }
    ShowStartUpErrors();
    // 11. The help file lives in the read-only data directory.
    HelpFile = platform::DataDir() + "/" + identity::HelpFileName;
    // 12.
    RxTrayIcon->SetHint(identity::DefaultTrayHint);
    // 13.
    CharacterDirectory = TAgentControl::CharacterDir();
    // 14.
    if (Debugging) {
        setWindowTitle(identity::ProductName + QStringLiteral(": DEBUG ") + identity::VersionText);
        ButtonMessageWindow->setVisible(true);
    } else {
        setWindowTitle(identity::ProductName);
    }
    // 15., 16.
    StartSpeechHost();
    // 17.
    CheckInProgress = false;
    RecursionFlag = false;
    // 18.
    RasAvailableFlag = Probes->RasAvailable();
    if (!RasAvailableFlag) {
        RadioGroupInternetConnection->SetItemIndex(1);
        RadioGroupInternetConnection->setEnabled(false);
    }
    // 19.
    if (RunWizardFlag)
        RunFirstStartWizard();
    // 20. The window is shown by the start sequence unless start hidden is set.
    // 21.
    RxTrayIcon->SetAutoPopup(true);
    RxTrayIcon->SetHint(identity::DefaultTrayHint);
    // 22. Display test.
    HighColor = platform::ScreenBitsPerPixel() > 8;
    if (HighColor) {
        OvcClock->SetShowFace(CheckBoxClockFace->isChecked());
        ImageLogo->setPixmap(TImageLists::LogoPixmap(devicePixelRatioF()));
    } else {
        GroupBoxClockFace->setVisible(false);
        CheckBoxDrawClockTickMarks->setChecked(true);
        OvcClock->SetShowFace(false);
        ImageLogo->setVisible(false);
    }
    // 23.
    OvcClock->SetActive(true);
    // 24.
    PageControl->setCurrentWidget(TabSheetAbout);
    FitToContent();
    LayOutAllPages();
    // 25. The slider's handler sets the interval and the label; the load
    //     has not run it when the stored value equals the slider's first one.
    SliderTimeoutChange();
    // From here on the user's changes are saved as they are made; what the
    // first-run wizard chose is saved at once.
    Created = true;
    if (RunWizardFlag)
        SaveSettingsNow();
    UpdateMailPush();
}

// The designed size, 388 by 452, unless the desktop's font or scale needs
// more: then the size the controls need, so that no text is cut. The user
// cannot resize the window either way.
void TFormMain::FitToContent() {
    ensurePolished();
    // The layout keeps each control's size from before; hiding the Debug tab does not tell it
    // that the tabs have become narrower.
    PageControl->updateGeometry();
    layout()->invalidate();
    layout()->activate();
    setFixedSize(layout()->totalMinimumSize().expandedTo(DesignedSize));
}

// A page lays out its controls only when it is first shown; the character
// stands beside the clock even while the Time page is not in view, so every
// page gets its place and size now.
void TFormMain::LayOutAllPages() {
    layout()->activate();
    const QRect area = PageControl->currentWidget()->geometry();
    for (int i = 0; i < PageControl->count(); ++i) {
        QWidget* page = PageControl->widget(i);
        page->setGeometry(area);
        if (page->layout() != nullptr)
            page->layout()->activate();
    }
}

QString TFormMain::StatusText() const {
    return StatusTextLabel->text();
}

QString TFormMain::TrayHint() const {
    return RxTrayIcon->Hint();
}

int TFormMain::CurrentPageIndex() const {
    return PageControl->currentIndex();
}

QString TFormMain::CurrentPageName() const {
    return PageControl->tabText(PageControl->currentIndex());
}

void TFormMain::SelectPage(const QString& caption) {
    for (int i = 0; i < PageControl->count(); ++i) {
        if (PageControl->tabText(i) == caption) {
            PageControl->setCurrentIndex(i);
            return;
        }
    }
}

TCheckMsgThread* TFormMain::CurrentWorker() const {
    return Worker.data();
}

void TFormMain::ShowStatus(const QString& text, bool alsoTray) {
    if (QThread::currentThread() == thread()) {
        ShowStatusHere(text, alsoTray);
        return;
    }
    std::exception_ptr failure;
    QMetaObject::invokeMethod(
        this,
        [&] {
            try {
                ShowStatusHere(text, alsoTray);
            } catch (...) {
                failure = std::current_exception();
            }
        },
        Qt::BlockingQueuedConnection);
    if (failure)
        std::rethrow_exception(failure);
}

void TFormMain::ShowStatusHere(const QString& text, bool alsoTray) {
    SetStatusBarOnly(text);
    if (alsoTray)
        RxTrayIcon->SetHint(TrayHintWithStatus(identity::DefaultTrayHint, text));
    if (!Debugging)
        return;
    const QString entry = FormatLogEntry(text, QTime::currentTime(), platform::LongTimeFormat());
    if (DebugForm != nullptr)
        DebugForm->AddEntry(entry);
    else
        PendingDebugEntries << entry;
    if (LogFileUsable)
        LogFile.Append(entry);
}

// The framework's error box, once for each error a start-up step has
// collected; the start-up then goes on.
void TFormMain::ShowStartUpErrors() {
    const QStringList errors = std::exchange(StartUpErrors, {});
    for (const QString& error : errors)
        platform::ShowErrorReport(error);
}

void TFormMain::DebugLine(const QString& text, bool asteriskSound) {
    if (!Debugging)
        return;
    ShowStatus(text, false);
    if (asteriskSound)
        platform::MessageBeep(platform::MB_ICONASTERISK);
}

// A text longer than the status bar is cut at the window's edge; its hint shows it whole.
void TFormMain::SetStatusBarOnly(const QString& text) {
    StatusTextLabel->setText(text);
    StatusTextLabel->setToolTip(platform::PlainTextHint(text));
}

void TFormMain::SetDebugForm(TFormDebug* form) {
    DebugForm = form;
    for (const QString& entry : std::as_const(PendingDebugEntries))
        DebugForm->AddEntry(entry);
    PendingDebugEntries.clear();
}

void TFormMain::AppMinimize() {
    DebugLine(QStringLiteral("DEBUG: AppMinimize"), true);
    hide();
}

void TFormMain::AppRestore() {
    DebugLine(QStringLiteral("DEBUG: AppRestore"), false);
}

void TFormMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        if (layout() != nullptr)
            FitToContent();
        return;
    }
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized()) {
        // Minimising hides the window completely, leaving the tray icon. One
        // minimise may bring several state changes (the window's own and the
        // window system's): it is handled once, and only while the window
        // is still shown.
        if (MinimizePending)
            return;
        MinimizePending = true;
        QTimer::singleShot(0, this, [this] {
            MinimizePending = false;
            if (isVisible())
                AppMinimize();
            setWindowState(windowState() & ~Qt::WindowMinimized);
        });
    } else if ((change->oldState() & Qt::WindowMinimized) && isVisible()) {
        // Taking the minimised state back from a window that has just been
        // hidden is not the application being restored.
        AppRestore();
    }
}

void TFormMain::PopupMenuTrayShowClick() {
    show();
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    raise();
    activateWindow();
}

void TFormMain::ButtonDebugAClick() {
    if (DebugForm != nullptr) {
        DebugForm->show();
        DebugForm->raise();
    }
}

bool TFormMain::FormCloseQuery() {
    OvcClock->SetActive(false);
    PrepareStoredPassword();
    WriteRegistryEntries();
    DebugLine(QStringLiteral("DEBUG: FormCloseQuery done"), true);
    // The close is allowed: the placement store keeps the position.
    Placement->Save();
    return true;
}

void TFormMain::FormClose() {
    // Stopping the push connection closes its socket; it does not wait for the server.
    UpdateMailPush();
    for (TWinshoe* client :
         {static_cast<TWinshoe*>(&POP3Client), static_cast<TWinshoe*>(&IMAPClient)}) {
        try {
            if (client->Connected())
                client->CloseSocket();
        } catch (...) {
        }
    }
    try {
        if (CheckInProgress) {
            if (Worker)
                Worker->Terminate();
            // The worker's window steps and its completion run through the
            // event loop: keep serving it until the check has ended.
            while (CheckInProgress)
                QCoreApplication::processEvents(
                    QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
        }
    } catch (...) {
        DebugLine(QStringLiteral("DEBUG: Unknown error occured during form close"), true);
    }
    DebugLine(QStringLiteral("DEBUG: FormCloseQuery done"), true);
    WriteRegistryEntries();
}

void TFormMain::EndSession() {
    EndRequested = true;
    close();
}

// A request to end (a signal, the end of the session) cannot be refused: a
// failed save is reported where it can still be read, the debug log and
// standard error, and the program ends with a non-zero exit status. The
// settings file keeps its last good content, since every write replaces it
// whole or not at all.
void TFormMain::ReportFailedSave(const std::exception_ptr& failure) {
    if (ExitStatus == EXIT_FAILURE)
        return; // both saves of a close fail alike: the first has said why
    QString text;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& e) {
        text = QString::fromUtf8(e.what());
    } catch (...) {
        text = QStringLiteral("Unknown error.");
    }
    text = QStringLiteral("The settings could not be saved: ") + text;
    std::fprintf(stderr, "talvoro: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
    try {
        ShowStatus(text, false);
    } catch (...) {
        // The log itself is what failed; standard error has the text.
    }
    ExitStatus = EXIT_FAILURE;
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (Closing) {
        event->accept();
        return;
    }
    event->ignore();
    // A failure to write the settings abandons a close that the user asked
    // for: the error box shows it, the window stays open, and the clock that
    // FormCloseQuery stopped runs again, so the time is spoken and mail
    // checked as before.
    auto abandonOrReport = [this] {
        if (!EndRequested) {
            Closing = false;
            OvcClock->SetActive(true);
            ScheduleMailPushUpdate();
            throw;
        }
        ReportFailedSave(std::current_exception());
    };
    try {
        FormCloseQuery();
    } catch (...) {
        abandonOrReport();
    }
    Closing = true;
    try {
        FormClose();
    } catch (...) {
        abandonOrReport();
    }
    event->accept();
    // Closing the main window always ends the program, whatever other
    // windows are open.
    QCoreApplication::exit(ExitStatus);
}
