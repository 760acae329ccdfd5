#include "imap/ImapExceptions.h"

namespace {

std::string FolderText(const std::string& folder, bool missing, const std::string& serverText) {
    return "The folder \"" + folder + "\"" +
           (missing ? " does not exist on the server" : " could not be opened") +
           (serverText.empty() ? std::string() : " (server: " + serverText + ")");
}

} // namespace

EImapFolderError::EImapFolderError(const std::string& folder, bool missing,
                                   const std::string& serverText)
    : EImapFolderError(folder, missing, serverText, FolderText(folder, missing, serverText)) {}

EImapFolderError::EImapFolderError(const std::string& folder, bool missing,
                                   const std::string& serverText, const std::string& message)
    : EWinshoeResponseError(message), FFolder(folder), FMissing(missing), FServerText(serverText) {}

void EImapFolderError::RaiseWithMessage(const std::string& message) const {
    throw EImapFolderError(FFolder, FMissing, FServerText, message);
}
