#pragma once
// The program's identity values: fixed in the program, read by every part.
#include <QString>

namespace identity {

inline const QString ProductName = QStringLiteral("Talvoro");
inline const QString Version = QStringLiteral("1.0");
inline const QString VersionText = QStringLiteral("Version ") + Version;
inline const QString InstanceLockName = QStringLiteral("TalvoroMutex");
inline const QString SettingsRootKey = QStringLiteral("\\Software\\Ostrawick\\Talvoro\\") + Version;
// Note the blank at the end: status texts are appended in brackets.
inline const QString DefaultTrayHint = ProductName + QStringLiteral(": Right click for menu ");
// What the tray shows before the main window has set its default hint.
inline const QString InitialTrayHint = QStringLiteral("Talvoro: Right click for menu");
inline const QString WizardTrayHint = QStringLiteral("Talvoro: Please complete the config Wizard");
inline const QString HelpFileName = ProductName + QStringLiteral(".hlp");
inline const QString DebugLogName = QStringLiteral("debug.log");

// The maker's web pages. The addresses are the maker's configuration; these
// live under a domain reserved for examples.
inline const QString UpdateUrl = QStringLiteral("https://www.example.com/talvoro/update.php3");
inline const QString SupportUrl =
    QStringLiteral("https://www.example.com/talvoro/index.php3?tv=11.0");
inline const QString AgentInfoUrl = QStringLiteral("https://www.example.org/agent/characters.html");
inline const QString HomeUrl = QStringLiteral("https://www.example.com/home.html?tv=21.0");

} // namespace identity
