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

class EWinshoeSocketError : public EWinshoeException {
public:
    // The message is the code's error text ("Socket Error #" code CR LF text).
    explicit EWinshoeSocketError(int errorCode);
    EWinshoeSocketError(int errorCode, const std::string& message);

    int ErrorCode() const { return FErrorCode; }
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;

private:
    int FErrorCode;
};

class EWinshoeResponseError : public EWinshoeException {
public:
    explicit EWinshoeResponseError(const std::string& replyLine) : EWinshoeException(replyLine) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

class EWinshoeClosedSocket : public EWinshoeException {
public:
    EWinshoeClosedSocket() : EWinshoeException("Socket is closed, cannot write") {}
    explicit EWinshoeClosedSocket(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

class EWinshoeInvalidSocket : public EWinshoeException {
public:
    EWinshoeInvalidSocket() : EWinshoeException("Cannot allocate socket.") {}
    explicit EWinshoeInvalidSocket(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

class EWinshoeConnectRefused : public EWinshoeException {
public:
    explicit EWinshoeConnectRefused(const std::string& greeting) : EWinshoeException(greeting) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

class EWinshoeAlreadyConnected : public EWinshoeException {
public:
    EWinshoeAlreadyConnected() : EWinshoeException("Already connected.") {}
    explicit EWinshoeAlreadyConnected(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

// Raised when a line (or a whole header block) grows past its limit without ending, so that a
// broken or hostile server cannot make the client hold unbounded amounts of memory.
class EWinshoeLineTooLong : public EWinshoeException {
public:
    explicit EWinshoeLineTooLong(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

// A command line that would carry a line break or NUL to the server: such a line would let a
// stored value (a password "x\r\nDELE 1") smuggle a second command. Raised before anything is
// written.
class EWinshoeUnsafeCommand : public EWinshoeException {
public:
    EWinshoeUnsafeCommand();
    explicit EWinshoeUnsafeCommand(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

// "The server expects a secure connection: choose SSL/TLS": with security None, the server sent
// the start of a TLS record, or sent no greeting in time on the port of POP3 over TLS.
class EWinshoeTLSRequired : public EWinshoeException {
public:
    EWinshoeTLSRequired();
    explicit EWinshoeTLSRequired(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

class EWinshoeTLSError : public EWinshoeException {
public:
    explicit EWinshoeTLSError(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

// The password was not sent: the server's CAPA did not list STLS, or it refused STLS.
class EWinshoeSTLSUnavailable : public EWinshoeTLSError {
public:
    explicit EWinshoeSTLSUnavailable(const std::string& message) : EWinshoeTLSError(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

// The certificate did not verify (or is not the one trusted for this server). Carries what a
// caller needs to offer "trust this certificate": the server name as the user typed it, the
// certificate's SHA-256 fingerprint as 64 upper-case hex digits, the reason in plain words, and
// TrustedCertificateSetting(), the value that TWinshoeClient::SetTrustedCertificate takes to
// accept exactly this certificate for this server from then on.
class EWinshoeCertificateError : public EWinshoeTLSError {
public:
    EWinshoeCertificateError(const std::string& serverName, const std::string& fingerprint,
                             const std::string& reason);
    EWinshoeCertificateError(const std::string& serverName, const std::string& fingerprint,
                             const std::string& reason, const std::string& message);

    const std::string& ServerName() const { return FServerName; }
    const std::string& Fingerprint() const { return FFingerprint; }
    const std::string& Reason() const { return FReason; }
    std::string TrustedCertificateSetting() const;
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;

private:
    std::string FServerName;
    std::string FFingerprint;
    std::string FReason;
};

class EWinshoeSilentException : public EWinshoeException {
public:
    explicit EWinshoeSilentException(const std::string& message) : EWinshoeException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};

class EWinshoeConnClosedGraceful : public EWinshoeSilentException {
public:
    EWinshoeConnClosedGraceful() : EWinshoeSilentException("Connection Closed Gracefully.") {}
    explicit EWinshoeConnClosedGraceful(const std::string& message)
        : EWinshoeSilentException(message) {}
    [[noreturn]] void RaiseWithMessage(const std::string& message) const override;
};
