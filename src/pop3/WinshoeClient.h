#pragma once

// TWinshoeClient: a TCP client that connects to Host() and Port() (IPv4 only).
//
// Connect() throws EWinshoeAlreadyConnected when connected (the connection is left alone),
// EWinshoeInvalidSocket when no socket can be created, and EWinshoeSocketError when the name
// lookup or the connection fails, after it has disconnected (status texts "Disconnecting",
// "Disconnected"). Another thread may abort a Connect() under way with CloseSocket().

#include <string>

#include "pop3/WinshoeSocket.h"

class TWinshoeClient : public TWinshoeSocket {
public:
    TWinshoeClient();
    ~TWinshoeClient() override;

    const std::string& Host() const { return FHost; }
    void SetHost(const std::string& host) { FHost = host; }
    const std::string& UserID() const { return FUserID; }
    void SetUserID(const std::string& userID) { FUserID = userID; }
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& password) { FPassword = password; }

    virtual void Connect();

protected:
    // "LOCALHOST" in any letter case is 127.0.0.1 and a dotted address is taken as it is, both
    // without a lookup; any other name is looked up. Sets the peer address text.
    in_addr LookUpHost(const std::string& host);

private:
    std::string FHost;
    std::string FUserID;
    std::string FPassword;
};
