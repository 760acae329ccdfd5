#pragma once
// The IMAP mailbox behind the worker's steps: log in and EXAMINE the folder (read-only), count
// its messages, find what is new by UID, fetch headers with BODY.PEEK, LOGOUT; no flag is ever
// changed on the server. New are the unseen messages above the newest UID a check has seen
// (PlanImapCheck, mail/MailCheckRules.h), kept in LastIMAPUID as "uidvalidity/uid". The first
// check of a folder finds every unseen message new; a folder the server renumbered (a new
// UIDVALIDITY) finds nothing new, and Notice() says so.
#include "mail/MailboxSession.h"

#include "imap/ImapClient.h"

#include <vector>

class TImapMailboxSession : public IMailboxSession {
public:
    TImapMailboxSession(TImapClient& IMAP, std::string Folder);

    bool Connected() const override;
    void CloseSocket() override;
    void Connect() override;
    void Disconnect() override;
    int32_t CountMessages() override;
    TDecision DecideNew(int32_t NumMessages, int32_t PrevNumMessages,
                        TWinshoeMessage& Msg) override;
    void FetchNew(int32_t Index, int32_t Count, TWinshoeMessage& Msg) override;
    void Remember(bool FoundNew) override;
    void Quit() override;
    std::string NewestFrom() const override { return FNewestFrom; }
    std::string NewestSubject() const override { return FNewestSubject; }
    std::string Notice() const override { return FNotice; }
    std::string RefusalText(const EWinshoeResponseError& Error) const override;

private:
    TImapClient& FIMAP;
    std::string FFolder;
    TImapClient::TFolderStatus FStatus;
    std::vector<uint32_t> FNew;
    std::string FMemory;
    bool FNewestKnown = false;
    std::string FNewestFrom;
    std::string FNewestSubject;
    std::string FNotice;
};
