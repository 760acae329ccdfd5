#pragma once
// The program's command line.
//
// Each argument is compared as a whole, upper-cased, with "/M" (start with
// only the tray icon) and "/D" (debugging); anything else is ignored. The
// console options --help and --version are answered before any window
// exists.
#include <QStringList>

enum class TConsoleRequest { None, Help, Version };

struct TCommandLine {
    bool StartHidden = false;
    bool Debugging = false;
    // How many times "/D" was given: the log is emptied once per "/D".
    int DebugSwitchCount = 0;
    // The first console option given, answered by main before any window exists.
    TConsoleRequest Console = TConsoleRequest::None;
};

// The one parser of the command line, for main and the main window. Arguments without the
// program name.
TCommandLine ParseCommandLine(const QStringList& arguments);

inline TConsoleRequest ConsoleRequest(const QStringList& arguments) {
    return ParseCommandLine(arguments).Console;
}
QString ConsoleHelpText();
QString ConsoleVersionText();
