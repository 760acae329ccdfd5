#pragma once

// The TLS engine: the boundary between the transport and the program module "talvoro_tls"
// (libtalvoro_tls.so, OpenSSL), which the transport loads at the first secure connection so that
// a program that never makes one never maps libssl.
//
// The engine never touches a socket. It turns the bytes the transport received from the server
// (Feed) into plain text (Read), and plain text (Write) and its own handshake records into bytes
// that the transport must send (Drain). So every network call stays in the transport, where
// CloseSocket from another thread ends it as it ends a plain read or write.
//
// Only standard types cross the boundary; no exception leaves the module. All calls of one
// engine come from one thread.

#include <cstddef>

class ITlsEngine {
public:
    enum TStep : int {
        Complete = 1,   // the handshake is done
        NeedsInput = 0, // send what Drain gives, then Feed more received bytes, then call again
        Failed = -1,    // see FailureText(), CertificateReason() and PeerFingerprint()
        PeerClosed = -2 // Read: the server ended the secure session (close_notify)
    };

    virtual int Handshake() = 0;
    // Plain text into buffer: the number of bytes (> 0), NeedsInput, Failed or PeerClosed.
    virtual long Read(char* buffer, std::size_t length) = 0;
    // Takes all of the plain text for sending (length, > 0), or Failed.
    virtual long Write(const char* data, std::size_t length) = 0;
    virtual void Feed(const char* data, std::size_t length) = 0;
    // Bytes waiting to be sent: copies up to length of them into buffer, returns how many.
    virtual std::size_t Drain(char* buffer, std::size_t length) = 0;
    virtual std::size_t PendingOutput() const = 0;

    // After Failed: what went wrong, in plain words, never empty.
    virtual const char* FailureText() const = 0;
    // After Failed because the certificate was not accepted: the reason in plain words ("it has
    // expired"); empty for any other failure.
    virtual const char* CertificateReason() const = 0;
    // The SHA-256 fingerprint of the server's certificate as 64 upper-case hex digits, once one
    // was received; empty before.
    virtual const char* PeerFingerprint() const = 0;
    // "TLSv1.3" and the like, once the handshake is complete.
    virtual const char* ProtocolVersion() const = 0;

    // Frees the engine; nothing may be called afterwards.
    virtual void Release() = 0;

protected:
    ~ITlsEngine() = default;
};

// The module's entry point "TalvoroTlsCreateEngine". serverName is the name the user typed:
// a DNS name is sent as SNI and checked against the certificate's names, an IP address literal
// (addressLiteral true, in canonical text form) against its addresses. pinnedFingerprint, when
// not empty (64 hex digits), replaces all verification: exactly the certificate with that
// SHA-256 fingerprint is accepted. Returns null with a reason in error (at most errorSize bytes
// including the terminating NUL) when no engine can be made.
using TTlsCreateEngine = ITlsEngine* (*)(const char* serverName, bool addressLiteral,
                                         const char* pinnedFingerprint, char* error,
                                         std::size_t errorSize);

inline constexpr const char* TlsModuleName = "talvoro_tls";
inline constexpr const char* TlsCreateEngineSymbol = "TalvoroTlsCreateEngine";
