#pragma once

// TWinshoePOP3: the part of POP3 the mail check speaks: log in, STAT, TOP n 0, QUIT.
//
// Connect() reads the greeting and logs in with "User " and "Pass "; any failure disconnects
// and passes on: EWinshoeConnectRefused (greeting not "+OK", message = the greeting),
// EWinshoeResponseError (name or password refused, message = the reply line), or the transport's
// exceptions. CheckMessages() never throws: any failure yields 0 and its message as a status
// text. RetrieveHeader() and Quit() throw EWinshoeResponseError on a negative reply and the
// transport's exceptions otherwise, and leave the connection as it is. Quit() does not
// disconnect; Disconnect() does.

#include "pop3/WinshoeMessageClient.h"

class TWinshoePOP3 : public TWinshoeMessageClient {
public:
    static constexpr int DefaultPort = 110;

    TWinshoePOP3();

    void Connect() override;
    void Disconnect() override;

    int CheckMessages();
    // Fetches the header of message n into the message. True when the reply ended with its "."
    // line as expected. The header block ends at its empty line or, for a message that has no
    // empty line after its headers, at the "." line itself; nothing further is read then.
    bool RetrieveHeader(int messageNumber, TWinshoeMessage& message);
    void Quit();
};
