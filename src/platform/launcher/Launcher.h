#pragma once
// The simple program launcher: starts a program by its path and leaves it
// running on its own.
#include <QString>

namespace platform {

// The longest command line (path + " " + parameter) the launcher accepts.
constexpr int LaunchCommandLineLimit = 200;

// The command line the launcher would start: path + " " + parameter, the path
// without quotes around it.
QString LaunchCommandLine(const QString& path, const QString& parameter);

// Starts the program at path, detached, with parameter as its one argument
// (no argument when parameter is empty), without a shell. Returns false when
// no file exists at path or when the command line is longer than
// LaunchCommandLineLimit (such a line is refused, never cut); otherwise true,
// also when the system could not start the file. Never throws.
bool LaunchProgram(const QString& path, const QString& parameter);

} // namespace platform
