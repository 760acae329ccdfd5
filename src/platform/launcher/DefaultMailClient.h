#pragma once
// The desktop's default e-mail program, as a path the launcher can start and
// the client probe can recognise.
//
// The desktop's handler of mailto: links is asked of `xdg-mime query default
// x-scheme-handler/mailto` (which follows each desktop's own settings); when
// xdg-mime is missing or names nothing, the freedesktop mimeapps.list files
// are read directly (the user's and the system's configuration folders, then
// the applications folders of the data folders). The handler's desktop entry
// is found in the applications folders of $XDG_DATA_HOME and $XDG_DATA_DIRS;
// its Exec line is unquoted as the desktop-entry format says, its field codes
// (%u, %U, %f, ...) removed, a leading `env` with its NAME=value settings
// skipped, and its first word is the program, looked up in $PATH when it is
// not a full path.
#include <QString>
#include <QStringList>

namespace platform {

struct TDefaultMailClient {
    QString Executable; // the program's full path; empty when none can be given
    QString DesktopId;  // the handler's desktop entry, e.g. "thunderbird.desktop"
    QString Problem;    // when Executable is empty: why, in a sentence for the user
};

// Runs xdg-mime (a few milliseconds; at most 5 seconds). Never throws.
TDefaultMailClient DefaultMailClient();

// The arguments of a desktop entry's Exec value (as read from the file, before
// its string escapes are undone), field codes removed.
QStringList DesktopExecArguments(const QString& exec);

} // namespace platform
