#pragma once
// The rules behind the general commands of the tray menu and the main window
// that need no window: the e-mail client path clean-up, the help context of a
// page, what a tray double-click does, and when the tray picture changes.
#include <QString>

// --- E-mail client path -------------------------------------------------------

// A path pasted with quotes around it, as file managers and shells copy
// paths: when text begins with a double quote, the result is the quoted part
// (up to the matching closing quote, each doubled quote inside turned into
// one, anything after the closing quote dropped; without a closing quote, the
// rest of the text). Other texts come back unchanged.
QString CleanEmailClientPath(const QString& text);

inline const QString EmailClientNotConfiguredText =
    QStringLiteral("E-mail client not configured, configure client now?");
inline const QString SelectEmailClientTitle = QStringLiteral("Select E-mail client application");

// --- Help ------------------------------------------------------------------------

// Help context numbers of the help file's topics.
enum HelpContext : int {
    hcContents = 0, // not a topic: the table of contents
    hcMainWindow = 1000,
    hcWizardWelcome = 3010,
    hcWizardEnableEmail = 3070,
    hcWizardAccountOptions = 3080,
    hcWizardNotification = 3090,
    hcWizardTime = 3100,
    hcWizardStartup = 3110,
    hcAbout = 4000,
    hcGeneral = 5000,
    hcTime = 6000,
    hcNotification = 7000,
    hcEmailServer = 8000,
    hcEmailOptions = 9000,
};

// The context the Help command opens for the page selected in the main
// window (by its caption: "General", "Time", "Notification", "E-mail Server",
// "E-mail Options"); hcContents for any other page ("About", "Debug").
int HelpContextForPage(const QString& pageCaption);

// --- Tray double-click -------------------------------------------------------------

enum class TTrayDoubleClickStep {
    LaunchEmail, // unread mail is waiting: run Launch E-mail
    ShowWindow,  // otherwise: bring the main window up
};

// The first step of a double-click on the tray icon. Whatever the step, the
// double-click then counts the waiting mail as read: EmailFlag := false,
// NumUnreadMessages := 0, Mark Read disabled, CheckProgramState.
constexpr TTrayDoubleClickStep DecideTrayDoubleClick(bool emailFlag) {
    return emailFlag ? TTrayDoubleClickStep::LaunchEmail : TTrayDoubleClickStep::ShowWindow;
}

// --- Tray picture -------------------------------------------------------------------

constexpr int TrayStatePictureCount = 6;

// SetTrayIcon's rule: the picture changes only when index differs from the
// tag (the index last set) and names one of the state pictures.
constexpr bool TrayIconNeedsChange(int tag, int index) {
    return index != tag && index >= 0 && index < TrayStatePictureCount;
}
