#pragma once
// The boundary of the keyring module (libtalvoro_keyring.so): the desktop's
// Secret Service through QtKeychain, loaded at first use so that a program
// without the option never maps QtKeychain, libsecret and GLib's D-Bus.
//
// Only standard types cross it. Each call blocks its caller until the keyring
// has answered or TimeoutMs has passed; the keyring's work runs on a thread of
// the module's own, so the caller's event loop is not re-entered. Nothing
// throws across it.
#include <string>

namespace platform {

enum class TKeyringStatus {
    Ok,
    NotFound,  // no entry under these names
    Locked,    // the keyring is locked and was not unlocked
    NoKeyring, // no Secret Service on the session bus (or no session bus)
    Denied,    // the user or the keyring refused
    TimedOut,  // no answer within the time allowed
    Failed     // anything else; Detail says what
};

struct TKeyringReply {
    TKeyringStatus Status = TKeyringStatus::Failed;
    std::string Password; // what Read found
    std::string Detail;   // the keyring's own words, for the log
};

class IKeyringBackend {
public:
    virtual ~IKeyringBackend() = default;
    // Service and Key name the entry (the keyring shows them as "server" and
    // "user").
    virtual TKeyringReply Read(const std::string& service, const std::string& key,
                               int timeoutMs) = 0;
    virtual TKeyringReply Write(const std::string& service, const std::string& key,
                                const std::string& password, int timeoutMs) = 0;
    // Removing an entry that is not there is Ok.
    virtual TKeyringReply Remove(const std::string& service, const std::string& key,
                                 int timeoutMs) = 0;
};

} // namespace platform

// The module's one entry point: its backend, made at the first call and kept
// for the life of the process.
extern "C" {
using TalvoroKeyringBackendFn = platform::IKeyringBackend* (*)();
}
