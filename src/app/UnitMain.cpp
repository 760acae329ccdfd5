#include "app/UnitMain.h"

#include "app/CheckHost.h"

#include "agent/AgentControl.h"
#include "app/Identity.h"
#include "app/Labels.h"
#include "app/UnitDebug.h"
#include "mail/CheckMsgThread.h"
#include "mail/SessionInfoRecord.h"
#include "platform/Display.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
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

#include <exception>

TFormMain::TFormMain(const QStringList& arguments, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      LogFile(platform::StateDir() + "/" + identity::DebugLogName) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(identity::ProductName);
    setWindowIcon(TImageLists::AppIcon());
    setFixedSize(388, 452);
    // The window was laid out for an 8-point font; the desktop's own family
    // stands in for "MS Sans Serif", which Linux desktops do not have.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

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
    TimerConnection = new QTimer(this);
    TimerConnection->setObjectName(QStringLiteral("TimerConnection"));
    RegistryStore = std::make_unique<TFileRegistry>();
    AutoStart = std::make_unique<TXdgAutoStart>();
    Probes = platform::CreateSystemProbes();
    ConnectControls();

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
    // 8.
    ReadRegistryEntries();
    // 9.
    Debugging = false;
    StartHiddenFlag = false;
    PageControl->setTabVisible(PageControl->indexOf(TabSheetDebug), false);
    // 10. A failure to create the log ends the creation here.
    for (const QString& argument : arguments) {
        const QString upper = argument.toUpper();
        if (upper == QLatin1String("/M")) {
            StartHiddenFlag = true;
        } else if (upper == QLatin1String("/D")) {
            Debugging = true;
            PageControl->setTabVisible(PageControl->indexOf(TabSheetDebug), true);
            LogFile.Create();
        }
    }
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
    LayOutAllPages();
    // 25.
    TimerConnection->setInterval(SliderTimeout->value());
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
    StatusTextLabel->setText(text);
    if (alsoTray)
        RxTrayIcon->SetHint(TrayHintWithStatus(identity::DefaultTrayHint, text));
    if (!Debugging)
        return;
    const QString entry = FormatLogEntry(text, QTime::currentTime(), platform::LongTimeFormat());
    if (DebugForm != nullptr)
        DebugForm->AddEntry(entry);
    else
        PendingDebugEntries << entry;
    LogFile.Append(entry);
}

void TFormMain::DebugLine(const QString& text, bool asteriskSound) {
    if (!Debugging)
        return;
    ShowStatus(text, false);
    if (asteriskSound)
        platform::MessageBeep(platform::MB_ICONASTERISK);
}

void TFormMain::SetStatusBarOnly(const QString& text) {
    StatusTextLabel->setText(text);
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
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized()) {
        // Minimising hides the window completely, leaving the tray icon.
        QTimer::singleShot(0, this, [this] {
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
    SessionInfo().SetStoredPassword(ScrambleText(EditPOP3Password->text().toStdString()));
    WriteRegistryEntries();
    DebugLine(QStringLiteral("DEBUG: FormCloseQuery done"), true);
    // The close is allowed: the placement store keeps the position.
    Placement->Save();
    return true;
}

void TFormMain::FormClose() {
    try {
        if (POP3Client.Connected())
            POP3Client.CloseSocket();
    } catch (...) {
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

void TFormMain::closeEvent(QCloseEvent* event) {
    if (Closing) {
        event->accept();
        return;
    }
    // A failure to write the settings abandons the close: the error box shows
    // it, the window stays open and the program goes on.
    event->ignore();
    if (!FormCloseQuery())
        return;
    Closing = true;
    try {
        FormClose();
    } catch (...) {
        Closing = false;
        throw;
    }
    event->accept();
    // Closing the main window always ends the program, whatever other
    // windows are open.
    QCoreApplication::quit();
}
