#include "app/CommandLine.h"

#include "app/Identity.h"

TCommandLine ParseCommandLine(const QStringList& arguments) {
    TCommandLine result;
    for (const QString& argument : arguments) {
        const QString upper = argument.toUpper();
        if (upper == QLatin1String("/M")) {
            result.StartHidden = true;
        } else if (upper == QLatin1String("/D")) {
            result.Debugging = true;
            ++result.DebugSwitchCount;
        } else if (result.Console == TConsoleRequest::None) {
            if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
                result.Console = TConsoleRequest::Help;
            else if (argument == QLatin1String("--version"))
                result.Console = TConsoleRequest::Version;
        }
    }
    return result;
}

QString ConsoleHelpText() {
    return QStringLiteral("Usage: talvoro [/M] [/D]\n"
                          "Talking time and e-mail notification utility.\n"
                          "\n"
                          "  /M         start with only the tray icon, without showing the window\n"
                          "  /D         debugging: a Debug page, a debug window and a debug log\n"
                          "             ($XDG_STATE_HOME/talvoro/debug.log)\n"
                          "  --help     show this text and exit\n"
                          "  --version  show the version and exit\n"
                          "\n"
                          "The switches may be written in small letters too (/m, /d).\n");
}

QString ConsoleVersionText() {
    return identity::ProductName + QStringLiteral(" ") + identity::Version + QStringLiteral("\n");
}
