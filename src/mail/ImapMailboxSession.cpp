#include "mail/ImapMailboxSession.h"

#include "imap/ImapExceptions.h"
#include "mail/HeaderText.h"
#include "mail/SessionInfoRecord.h"
#include "pop3/WinshoeMessage.h"

#include <algorithm>
#include <limits>

namespace {

int32_t Clamped(uint64_t Value) {
    return int32_t(std::min<uint64_t>(Value, std::numeric_limits<int32_t>::max()));
}

} // namespace

TImapMailboxSession::TImapMailboxSession(TImapClient& IMAP, std::string Folder)
    : FIMAP(IMAP), FFolder(Folder.empty() ? std::string("INBOX") : std::move(Folder)) {}

bool TImapMailboxSession::Connected() const {
    return FIMAP.Connected();
}

void TImapMailboxSession::CloseSocket() {
    FIMAP.CloseSocket();
}

void TImapMailboxSession::Connect() {
    SetStep(TCheckStep::Login);
    FIMAP.Connect();
    FStatus = FIMAP.Examine(FFolder);
}

void TImapMailboxSession::Disconnect() {
    FIMAP.Disconnect();
}

int32_t TImapMailboxSession::CountMessages() {
    SetStep(TCheckStep::Count);
    return Clamped(FIMAP.Exists());
}

TDecision TImapMailboxSession::DecideNew(int32_t NumMessages, int32_t PrevNumMessages,
                                         TWinshoeMessage& Msg) {
    (void)NumMessages;
    (void)PrevNumMessages;
    (void)Msg;
    SetStep(TCheckStep::Count);
    const std::string Stored = LastIMAPUID().Get();
    const TImapCheckPlan Plan = PlanImapCheck(Stored, FStatus.UidValidity);
    const uint32_t Highest = FIMAP.HighestUid();
    FNew.clear();
    if (!Plan.Rebuilt)
        FNew = FIMAP.UnseenAbove(Plan.Above);
    FMemory = ImapMemoryAfter(Stored, FStatus.UidValidity, Highest);

    TDecision Decision;
    Decision.NumNewMessages = Clamped(FNew.size());
    if (Plan.FirstCheck) {
        Decision.DebugLines.push_back("DEBUG: Execute; First check of the folder, every unseen "
                                      "message is new");
    } else if (Plan.Rebuilt) {
        Decision.DebugLines.push_back("DEBUG: Execute; UIDVALIDITY changed, nothing is new");
        FNotice = FolderRebuiltText(FFolder);
    } else {
        Decision.DebugLines.push_back("DEBUG: Execute; New are the unseen messages above UID " +
                                      std::to_string(Plan.Above));
    }
    return Decision;
}

void TImapMailboxSession::FetchNew(int32_t Index, int32_t Count, TWinshoeMessage& Msg) {
    const std::size_t At = FNew.size() - std::size_t(Count) + std::size_t(Index);
    const uint32_t Uid = FNew.at(At);
    SetStep(TCheckStep::Headers, Clamped(Uid));
    // Removed by someone else since the search: the next check finds it gone.
    if (!FIMAP.FetchHeader(Uid, Msg))
        throw EWinshoeResponseError("The message is no longer on the server");
    if (At + 1 == FNew.size()) {
        FNewestFrom = Msg.From();
        FNewestSubject = Msg.Subject();
        FNewestKnown = true;
    }
}

void TImapMailboxSession::Remember(bool FoundNew) {
    // Nothing was fetched (MaxMessages 0): the newest is still to be named for the window.
    if (FoundNew && !FNewestKnown && !FNew.empty()) {
        TWinshoeMessage Newest;
        SetStep(TCheckStep::Headers, Clamped(FNew.back()));
        if (FIMAP.FetchHeader(FNew.back(), Newest)) {
            FNewestFrom = Newest.From();
            FNewestSubject = Newest.Subject();
        }
        FNewestKnown = true;
    }
    LastIMAPUID().Set(FMemory);
}

void TImapMailboxSession::Quit() {
    SetStep(TCheckStep::Quit);
    FIMAP.Logout();
}

std::string TImapMailboxSession::RefusalText(const EWinshoeResponseError& Error) const {
    if (const auto* Folder = dynamic_cast<const EImapFolderError*>(&Error))
        return WithServerReply(
            "Error: The folder \"" + ServerDisplayText(Folder->Folder()) +
                (Folder->Missing() ? "\" does not exist on the server" : "\" could not be opened"),
            Folder->ServerText());
    return IMailboxSession::RefusalText(Error);
}
