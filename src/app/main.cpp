// The process entry: the console options, the single-instance rule, then the
// three windows and the message loop.
#include "app/Application.h"
#include "app/CommandLine.h"
#include "app/Identity.h"
#include "app/UnitDebug.h"
#include "app/UnitMain.h"
#include "mail/UnitMessages.h"
#include "platform/InstanceLock.h"
#include "platform/MessageBox.h"
#include "platform/SessionEnd.h"
#include "platform/TalvoroApplication.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

QStringList ArgumentsWithoutProgram(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

bool HasDisplay() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

// The talking character needs absolute placement and stay-on-top, which
// Wayland does not give ordinary windows: prefer X11 (XWayland) when both
// are there.
void PreferX11() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

} // namespace

int main(int argc, char** argv) {
    const QStringList arguments = ArgumentsWithoutProgram(argc, argv);
    switch (ParseCommandLine(arguments).Console) {
    case TConsoleRequest::Help:
        std::fputs(ConsoleHelpText().toLocal8Bit().constData(), stdout);
        return EXIT_SUCCESS;
    case TConsoleRequest::Version:
        std::fputs(ConsoleVersionText().toLocal8Bit().constData(), stdout);
        return EXIT_SUCCESS;
    case TConsoleRequest::None:
        break;
    }
    if (!HasDisplay()) {
        std::fputs("talvoro: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "start Talvoro from a desktop session.\n",
                   stderr);
        return EXIT_FAILURE;
    }
    PreferX11();
    // The program draws little and seldom (the clock's second hand once a second), so its
    // pictures go to the X server over the connection: with shared memory each one would also
    // wake Qt's X event thread for the server's completion notice.
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");

    platform::TTalvoroApplication application(argc, argv);
    ConfigureApplication(application);

    const auto lock = platform::CreateInstanceLock(identity::InstanceLockName);
    if (lock->TryAcquire() == platform::TInstanceLock::TResult::HeldByOther) {
        platform::MessageDlg(
            QStringLiteral("Talvoro: Application is already running, right click on "
                           "tray icon for menu."),
            platform::TMsgDlgType::Information, platform::mbOK);
        return EXIT_SUCCESS;
    }
    if (!lock->Problem().isEmpty())
        platform::MessageDlg(lock->Problem(), platform::TMsgDlgType::Warning, platform::mbOK);

    // A stop request may come while the first-run wizard is still open,
    // before the main window exists: the wizard is cancelled then and the
    // window closes in order as soon as it is made.
    std::unique_ptr<TFormMain> formMain;
    bool stopRequested = false;
    platform::InstallSessionEndHandler(&application, [&formMain, &stopRequested] {
        stopRequested = true;
        if (formMain) {
            formMain->EndSession();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    try {
        formMain = std::make_unique<TFormMain>(arguments);
    } catch (...) {
        // What no start-up step expects (out of memory): the framework's error
        // box says what, and the program ends.
        platform::TTalvoroApplication::ReportException(std::current_exception());
        return EXIT_FAILURE;
    }
    TFormDebug formDebug;
    formMain->SetDebugForm(&formDebug);
    TFormMessages formMessages(formMain->MessageTable());
    formMain->SetMessagesForm(&formMessages);

    if (stopRequested) {
        QTimer::singleShot(0, formMain.get(), [&formMain] { formMain->EndSession(); });
    } else if (!formMain->StartHidden()) {
        QTimer::singleShot(0, formMain.get(), [&formMain] { formMain->show(); });
    }
    return application.exec();
}
