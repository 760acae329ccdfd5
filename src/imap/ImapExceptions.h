#pragma once

// The IMAP client's own failures, beside the transport's (pop3/WinshoeExceptions.h):
//
//   EWinshoeException
//     EImapProtocolError     the server sent bytes that are not an IMAP response, or answered
//                            out of turn; the client has disconnected
//     EWinshoeResponseError
//       EImapFolderError     the folder could not be opened; the message names it

#include <string>

#include "pop3/WinshoeExceptions.h"

class EImapProtocolError : public EWinshoeRaisable<EImapProtocolError> {
public:
    using EWinshoeRaisable::EWinshoeRaisable;
};

// "The folder "Archive" does not exist on the server (server: ...)" when the server says so
// (the NONEXISTENT response code), "The folder "Archive" could not be opened (server: ...)" for
// any other refusal.
class EImapFolderError : public EWinshoeRaisable<EImapFolderError, EWinshoeResponseError> {
public:
    EImapFolderError(const std::string& folder, bool missing, const std::string& serverText);

    const std::string& Folder() const { return FFolder; }
    bool Missing() const { return FMissing; }
    // The server's own words, as one line.
    const std::string& ServerText() const { return FServerText; }

private:
    std::string FFolder;
    bool FMissing;
    std::string FServerText;
};
