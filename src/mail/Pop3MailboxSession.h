#pragma once
// The POP3 mailbox behind the worker's steps: USER and PASS, STAT, TOP n 0, UIDL, QUIT on the
// window's client. What is new is Decide (mail/MailCheckRules.h) against LastMessageID and
// PrevNumMessages, with the unique ID of the newest message seen (LastMessageUID) to find where
// the new messages begin after deletions elsewhere.
#include "mail/MailboxSession.h"

class TWinshoePOP3;

class TPop3MailboxSession : public IMailboxSession {
public:
    explicit TPop3MailboxSession(TWinshoePOP3& POP3) : FPOP3(POP3) {}

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

private:
    int32_t PositionOfLastUID(int32_t NumMessages);

    TWinshoePOP3& FPOP3;
    int32_t FNumMessages = 0;
    // The ID of the newest message, as Decide fetched it (and again the fetch of its header).
    std::string FNewestID;
    // The unique ID of the newest message, once asked for (FNewestUIDKnown); empty when the
    // server gave none.
    std::string FNewestUID;
    bool FNewestUIDKnown = false;
    std::string FNewestFrom;
    std::string FNewestSubject;
};
