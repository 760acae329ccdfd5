#include "platform/Paths.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace platform {
namespace {

QString XdgHome(const char* variable, const QString& fallbackBelowHome) {
    const QString value = qEnvironmentVariable(variable);
    // The XDG rules ignore relative paths.
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + "/" + fallbackBelowHome;
}

} // namespace

QString DataDir() {
    const QString fromEnvironment = qEnvironmentVariable("TALVORO_DATA_DIR");
    if (!fromEnvironment.isEmpty())
        return QDir::cleanPath(fromEnvironment);
    const QString exe = ExecutablePath();
    if (!exe.isEmpty()) {
        const QString besideInstalled =
            QFileInfo(exe).absolutePath() + "/../share/talvoro";
        if (QFileInfo(besideInstalled).isDir())
            return QDir::cleanPath(besideInstalled);
    }
    if (QFileInfo(QStringLiteral(TALVORO_SOURCE_DATA_DIR)).isDir())
        return QStringLiteral(TALVORO_SOURCE_DATA_DIR);
    return QStringLiteral(TALVORO_INSTALL_DATA_DIR);
}

QString WindowsDirectory() { return DataDir(); }

QString ConfigDir() { return XdgHome("XDG_CONFIG_HOME", ".config") + "/talvoro"; }

QString StateDir() { return XdgHome("XDG_STATE_HOME", ".local/state") + "/talvoro"; }

QString ExecutablePath() {
    const QFileInfo self(QStringLiteral("/proc/self/exe"));
    const QString target = self.symLinkTarget();
    return target.isEmpty() ? QString() : target;
}

} // namespace platform
