#pragma once
// The two probes of the system that decide whether a mail check may run: is a
// dial-up connection connected, and does a process with the e-mail client's
// file name run. The probes never report errors and never throw: every
// failure counts as "no connection" or "not running". Each call looks at the
// system afresh and keeps nothing open between calls.
#include <QString>
#include <memory>

namespace platform {

class TSystemProbes {
public:
    virtual ~TSystemProbes() = default;

    // Whether the machine can make dial-up connections at all.
    virtual bool RasAvailable() = 0;

    // True when the first dial-up connection that the system lists is
    // connected; false when there is none, or RasAvailable() is false.
    virtual bool GetActiveRASConnection() = 0;

    // The id of a running process that has the file name of path, compared
    // without regard to letter case, when a file exists at path; 0 when there
    // is none. With onlyProcess, only that process is looked at.
    virtual qint64 FindProgram(const QString& path, qint64 onlyProcess = 0) = 0;

    // Whether FindProgram finds a process.
    bool IsProgramRunning(const QString& path) { return FindProgram(path) != 0; }
};

// The probes of this system, looking at the real /dev, /sys and /proc.
std::unique_ptr<TSystemProbes> CreateSystemProbes();

} // namespace platform
