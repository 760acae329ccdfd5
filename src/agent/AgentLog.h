#pragma once
// The request log: with TALVORO_AGENT_LOG naming a file, every request the
// component carries out is appended there as one line ("load Genie.acs",
// "move 10 20", "speak The time is 10:00", "hide fast", "stop-all", ...),
// flushed at once so another process can follow it. Without the variable,
// nothing is written. A speak line is followed by what the balloon shows and
// what the voice hears ("balloon The time is 10:00", "voice The time is ten
// o'clock A.M."), and remarks of the speech engines for the status line are
// logged too ("status The desktop speech service is not available ..."). Failures to write are
// ignored: the log is a diagnostic.
#include <QString>

void AppendAgentLog(const QString& line);
