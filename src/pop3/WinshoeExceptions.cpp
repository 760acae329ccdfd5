#include "pop3/WinshoeExceptions.h"

#include "pop3/TrustedCertificate.h"
#include "pop3/WinsockIntf.h"

void EWinshoeException::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeException(message);
}

EWinshoeSocketError::EWinshoeSocketError(int errorCode)
    : EWinshoeException(GWinsockInterface().TranslateSocketErrorMsg(errorCode)),
      FErrorCode(errorCode) {}

EWinshoeSocketError::EWinshoeSocketError(int errorCode, const std::string& message)
    : EWinshoeException(message), FErrorCode(errorCode) {}

void EWinshoeSocketError::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeSocketError(FErrorCode, message);
}

void EWinshoeResponseError::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeResponseError(message);
}

void EWinshoeClosedSocket::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeClosedSocket(message);
}

void EWinshoeInvalidSocket::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeInvalidSocket(message);
}

void EWinshoeConnectRefused::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeConnectRefused(message);
}

void EWinshoeAlreadyConnected::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeAlreadyConnected(message);
}

void EWinshoeLineTooLong::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeLineTooLong(message);
}

void EWinshoeSilentException::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeSilentException(message);
}

void EWinshoeConnClosedGraceful::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeConnClosedGraceful(message);
}

EWinshoeUnsafeCommand::EWinshoeUnsafeCommand()
    : EWinshoeException(
          "A command to the server contained a line break or NUL character and was not sent.") {}

void EWinshoeUnsafeCommand::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeUnsafeCommand(message);
}

EWinshoeTLSRequired::EWinshoeTLSRequired()
    : EWinshoeException("The server expects a secure connection: choose SSL/TLS") {}

void EWinshoeTLSRequired::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeTLSRequired(message);
}

void EWinshoeTLSError::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeTLSError(message);
}

void EWinshoeSTLSUnavailable::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeSTLSUnavailable(message);
}

EWinshoeCertificateError::EWinshoeCertificateError(const std::string& serverName,
                                                   const std::string& fingerprint,
                                                   const std::string& reason)
    : EWinshoeCertificateError(serverName, fingerprint, reason,
                               "The server's certificate was not accepted: " + reason +
                                   " (SHA-256 fingerprint " + FingerprintForDisplay(fingerprint) +
                                   ")") {}

EWinshoeCertificateError::EWinshoeCertificateError(const std::string& serverName,
                                                   const std::string& fingerprint,
                                                   const std::string& reason,
                                                   const std::string& message)
    : EWinshoeTLSError(message), FServerName(serverName), FFingerprint(fingerprint),
      FReason(reason) {}

std::string EWinshoeCertificateError::TrustedCertificateSetting() const {
    return FormatTrustedCertificate({FServerName, FFingerprint});
}

void EWinshoeCertificateError::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeCertificateError(FServerName, FFingerprint, FReason, message);
}
