#pragma once
// The single-instance lock: the copy that holds it is the running copy.
//
// The lock is never released by its holder; the system frees it when the
// process ends, however it ends, so a copy started after a crash or a kill
// takes it over at once.
#include <QString>
#include <memory>

namespace platform {

class TInstanceLock {
public:
    enum class TResult {
        Acquired,    // this copy is the running one
        HeldByOther, // another copy runs
        Unavailable, // the lock could not be created; run as the only copy
    };

    virtual ~TInstanceLock() = default;
    // Tries once, without waiting.
    virtual TResult TryAcquire() = 0;
};

// On Linux: a file "<name>.lock" beside the settings file (in ConfigDir(),
// created 0700 when missing), held with flock(). Copies with different
// settings folders run side by side; copies that share one never do.
std::unique_ptr<TInstanceLock> CreateInstanceLock(const QString& name);

} // namespace platform
