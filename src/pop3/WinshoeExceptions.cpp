#include "pop3/WinshoeExceptions.h"

#include "pop3/TrustedCertificate.h"
#include "pop3/WinsockIntf.h"

void EWinshoeException::RaiseWithMessage(const std::string& message) const {
    throw EWinshoeException(message);
}

EWinshoeSocketError::EWinshoeSocketError(int errorCode)
    : EWinshoeRaisable(GWinsockInterface().TranslateSocketErrorMsg(errorCode)),
      FErrorCode(errorCode) {}

EWinshoeUnsafeCommand::EWinshoeUnsafeCommand()
    : EWinshoeRaisable(
          "A command to the server contained a line break or NUL character and was not sent.") {}

EWinshoeTLSRequired::EWinshoeTLSRequired()
    : EWinshoeRaisable("The server expects a secure connection: choose SSL/TLS") {}

EWinshoeCertificateError::EWinshoeCertificateError(const std::string& serverName,
                                                   const std::string& fingerprint,
                                                   const std::string& reason)
    : EWinshoeRaisable("The server's certificate was not accepted: " + reason +
                       " (SHA-256 fingerprint " + FingerprintForDisplay(fingerprint) + ")"),
      FServerName(serverName), FFingerprint(fingerprint), FReason(reason) {}

std::string EWinshoeCertificateError::TrustedCertificateSetting() const {
    return FormatTrustedCertificate({FServerName, FFingerprint});
}
