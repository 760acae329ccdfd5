#include "platform/launcher/Launcher.h"

#include <QFileInfo>
#include <QProcess>

namespace platform {

QString LaunchCommandLine(const QString& path, const QString& parameter) {
    return path + QLatin1Char(' ') + parameter;
}

bool LaunchProgram(const QString& path, const QString& parameter) {
    try {
        if (path.isEmpty() || !QFileInfo(path).isFile())
            return false;
        // A longer line would not have fitted the launcher's buffer; starting
        // a cut path or parameter could start the wrong thing, so refuse.
        if (LaunchCommandLine(path, parameter).size() > LaunchCommandLineLimit)
            return false;
        const QStringList arguments = parameter.isEmpty() ? QStringList() : QStringList{parameter};
        // The result is deliberately not looked at: the file exists, and
        // whether the program then comes up is for the caller's next state
        // refresh to notice (it simply does not find the program running).
        QProcess::startDetached(path, arguments);
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace platform
