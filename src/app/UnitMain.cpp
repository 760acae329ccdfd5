#include "app/UnitMain.h"

#include "app/Identity.h"
#include "app/Labels.h"
#include "app/UnitDebug.h"
#include "platform/Display.h"
#include "platform/MessageBox.h"
#include "platform/Paths.h"
#include "platform/RadioGroup.h"
#include "platform/Sounds.h"
#include "platform/TimeFormat.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMetaObject>
#include <QPushButton>
#include <QSlider>
#include <QStatusBar>
#include <QSystemTrayIcon>
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
    setFixedSize(388, 452);
    // The window was laid out for an 8-point font; the desktop's own family
    // stands in for "MS Sans Serif", which Linux desktops do not have.
    QFont small = font();
    small.setPointSize(8);
    setFont(small);

    BuildControls();

    TimerConnection = new QTimer(this);
    TimerConnection->setObjectName(QStringLiteral("TimerConnection"));
    TimerConnection->setSingleShot(false);

    // The tray icon is in the notification area from the moment the window's
    // components exist, with its start picture and hint.
    TrayIcon = new QSystemTrayIcon(this);
    TrayIcon->setObjectName(QStringLiteral("RxTrayIcon"));
    SetTrayHint(identity::InitialTrayHint);
    TrayIcon->show();

    connect(ButtonMinimize, &QPushButton::clicked, this, &TFormMain::AppMinimize);
    connect(ButtonClose, &QPushButton::clicked, this, &QWidget::close);
    connect(ButtonSetupWizard, &QPushButton::clicked, this, &TFormMain::ButtonSetupWizardClick);
    connect(ButtonDebugA, &QPushButton::clicked, this, &TFormMain::ButtonDebugAClick);

    FormCreate(arguments);
}

TFormMain::~TFormMain() = default;

void TFormMain::FormCreate(const QStringList& arguments) {
    // 1. Minimise and restore reach AppMinimize and AppRestore through
    //    changeEvent.
    // 2. Identity values.
    ExecutablePath = platform::ExecutablePath();
    // 3.
    LabelVersion->setText(identity::VersionText);
    // 4.
    LinkUpdate->SetUrl(LinkUpdate->Url() + QStringLiteral("?ClientVerNo=") + identity::Version);
    // 9.
    Debugging = false;
    StartHiddenFlag = false;
    PageControl->setTabVisible(PageControl->indexOf(TabSheetDebug), false);

    // 10. A failure to create the log ends the creation here; the framework
    //     reports it.
    const TCommandLine commandLine = ParseCommandLine(arguments);
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
    Q_ASSERT(commandLine.StartHidden == StartHiddenFlag && commandLine.Debugging == Debugging);

    // 11. The help file lives in the read-only data directory.
    HelpFile = platform::DataDir() + "/" + identity::HelpFileName;
    // 12.
    SetTrayHint(identity::DefaultTrayHint);
    // 13.
    CharacterDir = platform::WindowsDirectory() + QStringLiteral("/MSAGENT/CHARS");
    // 14.
    if (Debugging) {
        setWindowTitle(identity::ProductName + QStringLiteral(": DEBUG ") + identity::VersionText);
        ButtonMessageWindow->setVisible(true);
    } else {
        setWindowTitle(identity::ProductName);
    }
    // 21.
    SetTrayHint(identity::DefaultTrayHint);
    // 22. Display test.
    HighColor = platform::ScreenBitsPerPixel() > 8;
    if (!HighColor) {
        GroupBoxClockFace->setVisible(false);
        CheckBoxDrawClockTickMarks->setChecked(true);
        ImageLogo->setVisible(false);
    }
    // 24.
    PageControl->setCurrentWidget(TabSheetAbout);
    // 25.
    TimerConnection->setInterval(SliderTimeout->value());
}

QString TFormMain::StatusText() const { return StatusText_->text(); }

int TFormMain::CurrentPageIndex() const { return PageControl->currentIndex(); }

QString TFormMain::CurrentPageName() const { return PageControl->tabText(PageControl->currentIndex()); }

void TFormMain::SelectPage(const QString& caption) {
    for (int i = 0; i < PageControl->count(); ++i) {
        if (PageControl->tabText(i) == caption) {
            PageControl->setCurrentIndex(i);
            return;
        }
    }
}

void TFormMain::SetTrayHint(const QString& hint) {
    CurrentTrayHint = CutTrayHint(hint);
    TrayIcon->setToolTip(CurrentTrayHint);
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
    StatusText_->setText(text);
    if (alsoTray)
        SetTrayHint(TrayHintWithStatus(identity::DefaultTrayHint, text));
    if (!Debugging)
        return;
    const QString entry = FormatLogEntry(text, QTime::currentTime(), platform::LongTimeFormat());
    if (DebugForm != nullptr)
        DebugForm->AddEntry(entry);
    else
        PendingDebugEntries << entry;
    LogFile.Append(entry);
}

void TFormMain::SetDebugForm(TFormDebug* form) {
    DebugForm = form;
    for (const QString& entry : std::as_const(PendingDebugEntries))
        DebugForm->AddEntry(entry);
    PendingDebugEntries.clear();
}

void TFormMain::AppMinimize() {
    if (Debugging) {
        ShowStatus(QStringLiteral("DEBUG: AppMinimize"), false);
        platform::MessageBeep(platform::MB_ICONASTERISK);
    }
    hide();
}

void TFormMain::AppRestore() {
    if (Debugging)
        ShowStatus(QStringLiteral("DEBUG: AppRestore"), false);
}

void TFormMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    const auto* change = static_cast<QWindowStateChangeEvent*>(event);
    if (isMinimized()) {
        // Minimising hides the window completely, leaving the tray icon.
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~Qt::WindowMinimized);
            AppMinimize();
        });
    } else if (change->oldState() & Qt::WindowMinimized) {
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

void TFormMain::ButtonSetupWizardClick() {}

void TFormMain::ButtonDebugAClick() {
    if (DebugForm != nullptr) {
        DebugForm->show();
        DebugForm->raise();
    }
}

bool TFormMain::FormCloseQuery() {
    if (Debugging) {
        ShowStatus(QStringLiteral("DEBUG: FormCloseQuery done"), false);
        platform::MessageBeep(platform::MB_ICONASTERISK);
    }
    return true;
}

void TFormMain::FormClose() {
    if (Debugging) {
        ShowStatus(QStringLiteral("DEBUG: FormCloseQuery done"), false);
        platform::MessageBeep(platform::MB_ICONASTERISK);
    }
}

void TFormMain::closeEvent(QCloseEvent* event) {
    if (Closing) {
        event->accept();
        return;
    }
    try {
        if (!FormCloseQuery()) {
            event->ignore();
            return;
        }
    } catch (...) {
        // A failure in the close query (writing the settings) abandons the
        // close: the window stays open and the program goes on.
        event->ignore();
        throw;
    }
    Closing = true;
    FormClose();
    event->accept();
    // Closing the main window always ends the program, whatever other
    // windows are open.
    QCoreApplication::quit();
}
