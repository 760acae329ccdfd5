#pragma once
// The single-instance lock: the copy that holds it is the running copy.
//
// The lock is never released by its holder; the system frees it when the
// process ends, however it ends, so a copy started after a crash or a kill
// takes it over at once. When the lock cannot be made as it should be (a
// read-only settings folder), Problem() says so for the user, and the copy
// still runs only if no other copy is found another way.
#include <QString>
#include <memory>

namespace platform {

class TInstanceLock {
public:
    enum class TResult {
        Acquired,    // this copy is the running one
        HeldByOther, // another copy runs
        Unavailable, // no lock at all could be made; run as the only copy
    };

    virtual ~TInstanceLock() = default;
    // Tries once, without waiting.
    virtual TResult TryAcquire() = 0;
    // After TryAcquire: what went wrong in making the lock, as a text for the
    // user; empty when nothing did.
    virtual QString Problem() const { return {}; }
};

// On Linux: a file "<name>.lock" beside the settings file (in ConfigDir(),
// created 0700 when missing) and that folder itself, both held with flock().
// Copies with different settings folders run side by side; copies that share
// one never do, even when the lock file cannot be created there.
std::unique_ptr<TInstanceLock> CreateInstanceLock(const QString& name);

} // namespace platform
