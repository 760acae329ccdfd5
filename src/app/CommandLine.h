#pragma once
// The program's command line.
//
// Each argument is compared as a whole, upper-cased, with "/M" (start with
// only the tray icon) and "/D" (debugging); anything else is ignored. The
// console options --help and --version are answered before any window
// exists.
#include <QStringList>

struct TCommandLine {
    bool StartHidden = false;
    bool Debugging = false;
    // How many times "/D" was given: the log is emptied once per "/D".
    int DebugSwitchCount = 0;
};

// Arguments without the program name.
TCommandLine ParseCommandLine(const QStringList& arguments);

enum class TConsoleRequest { None, Help, Version };
TConsoleRequest ConsoleRequest(const QStringList& arguments);
QString ConsoleHelpText();
QString ConsoleVersionText();
