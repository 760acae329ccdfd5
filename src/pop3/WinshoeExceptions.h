#pragma once

// The exception family of the POP3 client. Every failure of the client reaches the caller as
// one of these (or, for the two guards that have no class of their own, a std::runtime_error);
// what() is a text written for the user and is shown as the mail check's last error.
//
// Tree:
//   std::runtime_error
//     EWinshoeException
//       EWinshoeSocketError        a socket call failed; ErrorCode() holds the Winsock code
//       EWinshoeResponseError      a reply with an unexpected code; the message is the reply line
//       EWinshoeClosedSocket       "Socket is closed, cannot write"
//       EWinshoeInvalidSocket      "Cannot allocate socket."
//       EWinshoeConnectRefused     the greeting was not positive; the message is the greeting
//       EWinshoeAlreadyConnected   "Already connected."
//       EWinshoeLineTooLong        the server sent more than a line, reply or header limit allows
//       EWinshoeUnsafeCommand      a command line held CR, LF or NUL; nothing of it was sent
//       EWinshoeTLSRequired        a plain connection met a server that expects TLS
//       EWinshoeTLSError           the secure connection could not be made or broke down
//         EWinshoeSTLSUnavailable  STARTTLS was chosen but the server does not offer or refuses it
//         EWinshoeCertificateError the server's certificate was not accepted
//       EWinshoeSilentException    conditions a caller may choose to ignore
//         EWinshoeConnClosedGraceful  "Connection Closed Gracefully."

#include <stdexcept>
#include <string>

class EWinshoeException : public std::runtime_error {
public:
    explicit EWinshoeException(const std::string& message) : std::runtime_error(message) {}

    // Throws a new exception of this object's own class carrying the given message (and any
    // other state, such as the socket error code). Used to annotate a failure raised inside a
    // status callback without losing its class.
    [[noreturn]] virtual void RaiseWithMessage(const std::string& message) const;
};

// Every class below EWinshoeException derives from EWinshoeRaisable<Self, Base>: it takes Base's
// constructors and gives Self a RaiseWithMessage that throws a copy of Self with the new message.
// A class that derives from another without it would be raised again as that other class.
template <class Self, class Base = EWinshoeException> class EWinshoeRaisable : public Base {
public:
    using Base::Base;

    [[noreturn]] void RaiseWithMessage(const std::string& message) const override {
        Self raised(static_cast<const Self&>(*this));
        static_cast<std::runtime_error&>(raised) = std::runtime_error(message);
        throw raised;
    }
};

class EWinshoeSocketError : public EWinshoeRaisable<EWinshoeSocketError> {
public:
    // The message is the code's error text ("Socket Error #" code CR LF text).
    explicit EWinshoeSocketError(int errorCode);

    int ErrorCode() const { return FErrorCode; }

private:
    int FErrorCode;
};

class EWinshoeResponseError : public EWinshoeRaisable<EWinshoeResponseError> {
public:
    // The message is the reply line.
    using EWinshoeRaisable::EWinshoeRaisable;
};

class EWinshoeClosedSocket : public EWinshoeRaisable<EWinshoeClosedSocket> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
    EWinshoeClosedSocket() : EWinshoeRaisable("Socket is closed, cannot write") {}
};

class EWinshoeInvalidSocket : public EWinshoeRaisable<EWinshoeInvalidSocket> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
    EWinshoeInvalidSocket() : EWinshoeRaisable("Cannot allocate socket.") {}
};

class EWinshoeConnectRefused : public EWinshoeRaisable<EWinshoeConnectRefused> {
public:
    // The message is the greeting.
    using EWinshoeRaisable::EWinshoeRaisable;
};

class EWinshoeAlreadyConnected : public EWinshoeRaisable<EWinshoeAlreadyConnected> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
    EWinshoeAlreadyConnected() : EWinshoeRaisable("Already connected.") {}
};

// Raised when a line (or a whole header block) grows past its limit without ending, so that a
// broken or hostile server cannot make the client hold unbounded amounts of memory.
class EWinshoeLineTooLong : public EWinshoeRaisable<EWinshoeLineTooLong> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
};

// A command line that would carry a line break or NUL to the server: such a line would let a
// stored value (a password "x\r\nDELE 1") smuggle a second command. Raised before anything is
// written.
class EWinshoeUnsafeCommand : public EWinshoeRaisable<EWinshoeUnsafeCommand> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
    EWinshoeUnsafeCommand();
};

// "The server expects a secure connection: choose SSL/TLS": with security None, the server sent
// the start of a TLS record, or sent no greeting in time on the port of POP3 over TLS.
class EWinshoeTLSRequired : public EWinshoeRaisable<EWinshoeTLSRequired> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
    EWinshoeTLSRequired();
};

class EWinshoeTLSError : public EWinshoeRaisable<EWinshoeTLSError> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
};

// The password was not sent: the server's CAPA did not list STLS, or it refused STLS.
class EWinshoeSTLSUnavailable : public EWinshoeRaisable<EWinshoeSTLSUnavailable, EWinshoeTLSError> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
};

// The certificate did not verify (or is not the one trusted for this server). Carries what a
// caller needs to offer "trust this certificate": the server name as the user typed it, the
// certificate's SHA-256 fingerprint as 64 upper-case hex digits, the reason in plain words, and
// TrustedCertificateSetting(), the value that TWinshoeClient::SetTrustedCertificate takes to
// accept exactly this certificate for this server from then on.
class EWinshoeCertificateError
    : public EWinshoeRaisable<EWinshoeCertificateError, EWinshoeTLSError> {
public:
    EWinshoeCertificateError(const std::string& serverName, const std::string& fingerprint,
                             const std::string& reason);

    const std::string& ServerName() const { return FServerName; }
    const std::string& Fingerprint() const { return FFingerprint; }
    const std::string& Reason() const { return FReason; }
    std::string TrustedCertificateSetting() const;

private:
    std::string FServerName;
    std::string FFingerprint;
    std::string FReason;
};

class EWinshoeSilentException : public EWinshoeRaisable<EWinshoeSilentException> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
};

class EWinshoeConnClosedGraceful
    : public EWinshoeRaisable<EWinshoeConnClosedGraceful, EWinshoeSilentException> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
    EWinshoeConnClosedGraceful() : EWinshoeRaisable("Connection Closed Gracefully.") {}
};
