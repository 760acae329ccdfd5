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
//       EWinshoeLineTooLong        the server sent more than the line or header limit allows
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
