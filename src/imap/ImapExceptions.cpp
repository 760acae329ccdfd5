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
    : EWinshoeRaisable(FolderText(folder, missing, serverText)), FFolder(folder), FMissing(missing),
      FServerText(serverText) {}
