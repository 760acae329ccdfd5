#pragma once
// Where the program finds its files on this system.
//
// The executable's own folder is read-only and case-sensitive here, so the
// read-only program files (help file, character folder) live in a data
// directory, and what the program writes lives in the user's XDG folders.
// Paths are used as they are: never lower-cased.
#include <QString>

namespace platform {

// The read-only data directory: $TALVORO_DATA_DIR when set; otherwise
// <prefix>/share/talvoro beside an installed executable; otherwise the source
// tree's data folder (a program run from its build tree).
QString DataDir();

// What the program calls the "Windows directory": the data directory, so the
// characters are found under WindowsDirectory() + "/MSAGENT/CHARS".
QString WindowsDirectory();

// $XDG_CONFIG_HOME/talvoro (default ~/.config/talvoro). Not created here.
QString ConfigDir();

// $XDG_STATE_HOME/talvoro (default ~/.local/state/talvoro). Not created here.
QString StateDir();

// The full path of the running executable, as the system reports it.
QString ExecutablePath();

} // namespace platform
