#pragma once

// TWinshoePOP3: the part of POP3 the mail check speaks: log in, STAT, TOP n 0, QUIT.
//
// Connect() reads the greeting and logs in with "User " and "Pass "; any failure disconnects
// and passes on: EWinshoeConnectRefused (greeting not "+OK", message = the greeting),
// EWinshoeResponseError (name or password refused, message = the server's reply line as
// received), EWinshoeUnsafeCommand (the name or password holds CR, LF or NUL: checked before
// connecting), or the transport's exceptions. CheckMessages() returns the count of a well-formed
// "+OK count size" reply and throws otherwise: EWinshoeResponseError (a negative reply, or a
// positive one whose count is missing, not decimal digits or beyond a 32-bit int; the message is
// the reply line) or the transport's exceptions. RetrieveHeader() and Quit() throw
// EWinshoeResponseError on a negative reply and the transport's exceptions otherwise, and leave
// the connection as it is. Quit() does not disconnect; Disconnect() does.
//
// Security (TWinshoeClient::Security): with SSLTLS the whole session runs in TLS. With STARTTLS,
// after the greeting the client sends "CAPA" and, when the capabilities list "STLS", "STLS" and
// the handshake, and only then logs in; when STLS is not listed or is refused it fails with
// EWinshoeSTLSUnavailable and the password is never sent. With None nothing on the wire changes,
// except that a server that expects TLS is recognised (EWinshoeTLSRequired) when its first bytes
// are a TLS record, or when it sends no greeting within TLSPortGreetingWait() milliseconds on
// TLSPort() (995, the port of POP3 over TLS).

#include <functional>
#include <string>

#include "pop3/WinshoeMessageClient.h"

class TWinshoePOP3 : public TWinshoeMessageClient {
public:
    static constexpr int DefaultPort = 110;
    static constexpr int DefaultTLSPort = 995;

    TWinshoePOP3();

    void Connect() override;
    void Disconnect() override;

    // Lines of a unique-ID listing beyond which the listing counts as endless.
    static constexpr long MaxUIDListLines = 1000000;

    int CheckMessages();
    // Fetches the header of message n into the message. True when the reply ended with its "."
    // line as expected. The header block ends at its empty line or, for a message that has no
    // empty line after its headers, at the "." line itself; nothing further is read then.
    bool RetrieveHeader(int messageNumber, TWinshoeMessage& message);
    void Quit();

    // "UIDL": passes each entry of the unique-ID listing (message number, unique ID) to onEntry
    // as it arrives, without keeping the listing. False when the server refuses the command (a
    // server without UIDL); nothing else is read then. Lines that are not a number, a blank and
    // an ID of at most 70 characters are skipped. A listing of more than MaxUIDListLines lines
    // disconnects and throws EWinshoeLineTooLong; the transport's exceptions pass on.
    bool UIDList(const std::function<void(int number, const std::string& uid)>& onEntry);
    // "UIDL n": the unique ID of message n, or the empty text when the server refuses the
    // command or its reply carries no ID for n. The transport's exceptions pass on.
    std::string UID(int messageNumber);

private:
    void NegotiateSTLS();
};
