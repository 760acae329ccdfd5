#pragma once
// The boundary of the keyring module (libtalvoro_keyring.so): the desktop's
// Secret Service through QtKeychain, loaded at first use so that a program
// without the option never maps QtKeychain, libsecret and GLib's D-Bus.
//
// Only standard types cross it. Every call returns at once; the keyring's work
// runs on a thread of the module's own, and the answer comes to Done on that
// thread, at most once: a request that waits on the desktop's unlock prompt
// answers only when the user has answered the prompt, which may be never.
// Nothing throws across it.
#include <functional>
#include <string>

namespace platform {

enum class TKeyringStatus {
    Ok,
    NotFound,  // no entry under these names
    Locked,    // the keyring is locked and was not unlocked
    NoKeyring, // no Secret Service on the session bus (or no session bus)
    Denied,    // the user or the keyring refused
    TimedOut,  // the Secret Service took a request and did not answer it
    Failed     // anything else; Detail says what
};

struct TKeyringReply {
    TKeyringStatus Status = TKeyringStatus::Failed;
    std::string Password; // the bytes Read found
    std::string Detail;   // the keyring's own words, for the log
};

class IKeyringBackend {
public:
    using TDone = std::function<void(const TKeyringReply&)>;
    virtual ~IKeyringBackend() = default;
    // Service and Key name the entry (the keyring shows them as "server" and
    // "user"). A password that is UTF-8 is kept as text, so that other
    // programs read it; other bytes are kept as they are (QtKeychain's base64
    // form), and Read gives back the very bytes written.
    virtual void Read(const std::string& service, const std::string& key, TDone done) = 0;
    virtual void Write(const std::string& service, const std::string& key,
                       const std::string& password, TDone done) = 0;
    // Removing an entry that is not there is Ok.
    virtual void Remove(const std::string& service, const std::string& key, TDone done) = 0;
    // Asks the Secret Service itself, with a deadline of TimeoutMs, whether it is there and
    // answers: NoKeyring, TimedOut (it has the name on the bus but does not answer), Locked
    // (its default keyring is locked) or Ok (it answers and is unlocked).
    virtual void Probe(int timeoutMs, TDone done) = 0;
};

} // namespace platform

// The module's one entry point: its backend, made at the first call and kept
// for the life of the process.
extern "C" {
using TalvoroKeyringBackendFn = platform::IKeyringBackend* (*)();
}
