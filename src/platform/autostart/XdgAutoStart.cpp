#include "platform/autostart/XdgAutoStart.h"

#include "platform/Paths.h"
#include "platform/registry/AtomicFile.h"
#include "platform/registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <unistd.h>

namespace {

const QString EntryFileName = QStringLiteral("Talvoro.desktop");
constexpr const char* EntryName = "Talvoro";

QString DefaultUserFolder() {
    // The configuration folder is <config>/talvoro; autostart entries live beside it.
    return QFileInfo(platform::ConfigDir()).path() + "/autostart";
}

QString DefaultMachineFolder() {
    const QStringList dirs = qEnvironmentVariable("XDG_CONFIG_DIRS").split(':', Qt::SkipEmptyParts);
    // The XDG rules ignore relative paths.
    for (const QString& dir : dirs)
        if (QDir::isAbsolutePath(dir))
            return dir + "/autostart";
    return QStringLiteral("/etc/xdg/autostart");
}

std::string Native(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The string-value escapes of a desktop entry; they apply on top of the Exec quoting.
QString EscapeValue(const QString& value) {
    QString out;
    for (QChar c : value) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

} // namespace

TXdgAutoStart::TXdgAutoStart() : TXdgAutoStart(DefaultUserFolder(), DefaultMachineFolder()) {}

TXdgAutoStart::TXdgAutoStart(QString userFolder, QString machineFolder)
    : UserFolder(std::move(userFolder)), MachineFolder(std::move(machineFolder)) {}

QString TXdgAutoStart::UserEntryPath() const {
    return UserFolder + "/" + EntryFileName;
}

QString TXdgAutoStart::MachineEntryPath() const {
    return MachineFolder + "/" + EntryFileName;
}

QString TXdgAutoStart::QuoteExecArgument(const QString& argument) {
    static const QString Reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString out;
    const bool quote =
        std::any_of(argument.begin(), argument.end(), [](QChar c) { return Reserved.contains(c); });
    if (quote)
        out += '"';
    for (QChar c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\'))
            out += '\\';
        if (c == '%')
            out += '%'; // a literal percent sign, not a field code
        out += c;
    }
    if (quote)
        out += '"';
    return out;
}

QString TXdgAutoStart::EntryText(const QString& executablePath) {
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Talvoro\n"
                          "Icon=com.example.Talvoro\n" // the launcher's icon name
                          "Exec=") +
           EscapeValue(QuoteExecArgument(executablePath) + " /m") +
           QStringLiteral("\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n");
}

bool TXdgAutoStart::RemoveMachineEntry() {
    const std::string path = Native(MachineEntryPath());
    return unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR;
}

void TXdgAutoStart::WriteUserEntry(const QString& executablePath) {
    try {
        MakeFolders(Native(UserFolder));
    } catch (const std::system_error&) {
        throw FailedToCreateKey(UserFolder.toStdString());
    }
    try {
        WriteFileAtomically(Native(UserEntryPath()),
                            EntryText(executablePath).toUtf8().toStdString(), 0644);
    } catch (const std::system_error&) {
        throw FailedToSetData(EntryName);
    }
}

void TXdgAutoStart::RemoveUserEntry() {
    const std::string path = Native(UserEntryPath());
    if (unlink(path.c_str()) == 0 || errno == ENOENT || errno == ENOTDIR)
        return;
    const std::string reason = std::strerror(errno);
    throw ERegistryException("Failed to delete value '" + std::string(EntryName) + "' (" +
                             UserEntryPath().toStdString() + ": " + reason + ")");
}
