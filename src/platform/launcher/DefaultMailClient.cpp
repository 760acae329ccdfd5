#include "platform/launcher/DefaultMailClient.h"

#include "platform/ReadRegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

#include <optional>

namespace platform {
namespace {

const QString MailtoType = QStringLiteral("x-scheme-handler/mailto");

QString XdgFolder(const char* variable, const QString& belowHome) {
    const QString value = qEnvironmentVariable(variable);
    return !value.isEmpty() && QDir::isAbsolutePath(value) ? value
                                                           : QDir::homePath() + "/" + belowHome;
}

QStringList XdgFolders(const char* variable, const QString& fallback) {
    QStringList folders;
    for (const QString& folder :
         qEnvironmentVariable(variable, fallback).split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(folder))
            folders << QDir::cleanPath(folder);
    return folders;
}

QStringList ApplicationFolders() {
    QStringList folders{XdgFolder("XDG_DATA_HOME", QStringLiteral(".local/share"))};
    folders << XdgFolders("XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
    for (QString& folder : folders)
        folder += QStringLiteral("/applications");
    return folders;
}

// The value of Key in Group of a desktop-entry style file, as written.
std::optional<QString> IniValue(const QString& path, const QString& group, const QString& key) {
    std::optional<QByteArray> text = platform::ReadRegularFile(path, 1024 * 1024);
    if (!text)
        return std::nullopt;
    QTextStream in(&*text);
    bool inGroup = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

// A desktop-file id names a file in an applications folder, or in a folder
// below it with the id's first "-" standing for the "/".
QString DesktopFilePath(const QString& id) {
    for (const QString& folder : ApplicationFolders()) {
        if (QFileInfo(folder + "/" + id).isFile())
            return folder + "/" + id;
        const qsizetype dash = id.indexOf(QLatin1Char('-'));
        if (dash > 0) {
            const QString nested = folder + "/" + id.left(dash) + "/" + id.mid(dash + 1);
            if (QFileInfo(nested).isFile())
                return nested;
        }
    }
    return {};
}

QString AskXdgMime() {
    QProcess xdgMime;
    xdgMime.start(QStringLiteral("xdg-mime"),
                  {QStringLiteral("query"), QStringLiteral("default"), MailtoType});
    if (!xdgMime.waitForStarted(5000) || !xdgMime.waitForFinished(5000)) {
        xdgMime.kill();
        xdgMime.waitForFinished(1000);
        return {};
    }
    return QString::fromLocal8Bit(xdgMime.readAllStandardOutput())
        .section(QLatin1Char('\n'), 0, 0)
        .trimmed();
}

// What xdg-mime does on a desktop it has no special way for: the
// mimeapps.list files, the desktop's own before the common one.
QStringList HandlersFromMimeAppsLists() {
    QStringList prefixes;
    for (const QString& desktop :
         qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'), Qt::SkipEmptyParts))
        prefixes << desktop.toLower() + QLatin1Char('-');
    prefixes << QString();
    QStringList folders{XdgFolder("XDG_CONFIG_HOME", QStringLiteral(".config"))};
    folders << XdgFolders("XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")) << ApplicationFolders();
    QStringList handlers;
    for (const QString& folder : folders)
        for (const QString& prefix : prefixes)
            if (const auto value = IniValue(folder + "/" + prefix + "mimeapps.list",
                                            QStringLiteral("Default Applications"), MailtoType))
                handlers << value->split(QLatin1Char(';'), Qt::SkipEmptyParts);
    return handlers;
}

QString UndoStringEscapes(const QString& value) {
    QString out;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != QLatin1Char('\\') || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        const QChar next = value[++i];
        if (next == QLatin1Char('s'))
            out += QLatin1Char(' ');
        else if (next == QLatin1Char('n'))
            out += QLatin1Char('\n');
        else if (next == QLatin1Char('t'))
            out += QLatin1Char('\t');
        else if (next == QLatin1Char('r'))
            out += QLatin1Char('\r');
        else
            out += next; // "\\" and anything else
    }
    return out;
}

bool IsFieldCode(const QString& argument) {
    return argument.size() == 2 && argument[0] == QLatin1Char('%') &&
           QStringLiteral("fFuUdDnNickvm").contains(argument[1]);
}

QString ProgramOf(QStringList arguments) {
    // env NAME=value ... program: the program is what env starts.
    if (!arguments.isEmpty() && QFileInfo(arguments.front()).fileName() == QLatin1String("env")) {
        arguments.removeFirst();
        while (!arguments.isEmpty() && (arguments.front().startsWith(QLatin1Char('-')) ||
                                        arguments.front().contains(QLatin1Char('=')))) {
            const QString option = arguments.takeFirst();
            if ((option == QLatin1String("-u") || option == QLatin1String("--unset")) &&
                !arguments.isEmpty())
                arguments.removeFirst();
        }
    }
    return arguments.value(0);
}

} // namespace

QStringList DesktopExecArguments(const QString& exec) {
    const QString line = UndoStringEscapes(exec);
    QStringList arguments;
    QString current;
    bool started = false;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                quoted = false;
            } else if (c == QLatin1Char('\\') && i + 1 < line.size() &&
                       QStringLiteral("\"`$\\").contains(line[i + 1])) {
                current += line[++i];
            } else {
                current += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = wasQuoted = started = true;
        } else if (c.isSpace()) {
            if (started && (wasQuoted || !IsFieldCode(current)))
                arguments << current;
            current.clear();
            started = wasQuoted = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started && (wasQuoted || !IsFieldCode(current)))
        arguments << current;
    for (QString& argument : arguments)
        argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return arguments;
}

TDefaultMailClient DefaultMailClient() {
    TDefaultMailClient result;
    try {
        QStringList handlers;
        if (const QString asked = AskXdgMime(); !asked.isEmpty())
            handlers << asked;
        handlers << HandlersFromMimeAppsLists();
        if (handlers.isEmpty()) {
            result.Problem = QStringLiteral("No default e-mail program is set on this desktop.");
            return result;
        }
        // The first handler that can be started, as xdg-mime itself chooses.
        for (const QString& id : handlers) {
            const QString path = DesktopFilePath(id);
            const QString name = QFileInfo(id).completeBaseName();
            const auto exec = path.isEmpty() ? std::nullopt
                                             : IniValue(path, QStringLiteral("Desktop Entry"),
                                                        QStringLiteral("Exec"));
            const QString program = exec ? ProgramOf(DesktopExecArguments(*exec)) : QString();
            QString problem;
            if (path.isEmpty())
                problem = QStringLiteral("The default e-mail program's entry %1 cannot be found.")
                              .arg(id);
            else if (program.isEmpty())
                problem =
                    QStringLiteral("The default e-mail program (%1) names no program to start.")
                        .arg(name);
            else if (QFileInfo(program).fileName() == QLatin1String("flatpak"))
                problem = QStringLiteral("The default e-mail program (%1) runs in a Flatpak "
                                         "sandbox and cannot be started by its path alone.")
                              .arg(name);
            const QString found = !problem.isEmpty() ? QString()
                                  : QDir::isAbsolutePath(program)
                                      ? program
                                      : QStandardPaths::findExecutable(program);
            if (problem.isEmpty() && (found.isEmpty() || !QFileInfo(found).isExecutable()))
                problem = QStringLiteral("The default e-mail program (%1) is not installed: %2 "
                                         "cannot be found.")
                              .arg(name, program);
            if (problem.isEmpty()) {
                result = {found, id, {}};
                return result;
            }
            if (result.Problem.isEmpty()) {
                result.DesktopId = id;
                result.Problem = problem; // the first handler's reason is the one to tell
            }
        }
    } catch (...) {
        result = {{}, {}, QStringLiteral("The default e-mail program cannot be found.")};
    }
    return result;
}

} // namespace platform
