#include "pop3/WinshoeExceptions.h"

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
