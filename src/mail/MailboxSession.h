#pragma once
// IMailboxSession: one mailbox as a check reads it, whatever protocol serves it. The worker
// (TCheckMsgThread) runs the same steps, texts and window hand-offs for every kind, in this
// order: Connect; CountMessages; DecideNew; for the newest new messages FetchNew; Remember;
// Quit; Disconnect. Each kind keeps its own memory of the last check (POP3: LastMessageID and
// LastMessageUID; IMAP: LastIMAPUID) and its own rule of what is new.
//
// Failures are the transport's exceptions (pop3/WinshoeExceptions.h); a command the server
// refused is an EWinshoeResponseError, whose text for the user RefusalText gives. Connected()
// and CloseSocket() may be called from any thread (Stop, time-out, closing); everything else
// runs on the worker's thread.
#include "mail/MailCheckRules.h"

#include <cstdint>
#include <string>

class EWinshoeResponseError;
class TWinshoeMessage;

class IMailboxSession {
public:
    virtual ~IMailboxSession() = default;

    virtual bool Connected() const = 0;
    virtual void CloseSocket() = 0;

    // Logs in (and opens the folder where there is one).
    virtual void Connect() = 0;
    virtual void Disconnect() = 0;
    // The number of messages in the mailbox, as shown in LabelNumMessages.
    virtual int32_t CountMessages() = 0;
    // What is new against what the last check left behind. May fetch headers into Msg.
    virtual TDecision DecideNew(int32_t NumMessages, int32_t PrevNumMessages,
                                TWinshoeMessage& Msg) = 0;
    // Fetches the header of the Index-th (from 0, oldest first) of the newest Count new
    // messages into Msg, with Msg.MsgNo() the number to show for it.
    virtual void FetchNew(int32_t Index, int32_t Count, TWinshoeMessage& Msg) = 0;
    // Keeps the memory for the next check: after the new messages were fetched (FoundNew), or
    // once DecideNew found none.
    virtual void Remember(bool FoundNew) = 0;
    virtual void Quit() = 0;

    // The newest new message's sender and subject as the server sent them; empty when nothing
    // was found new.
    virtual std::string NewestFrom() const = 0;
    virtual std::string NewestSubject() const = 0;
    // A sentence for the end of the check's status, said once; empty mostly.
    virtual std::string Notice() const { return {}; }
    // The last error of a check whose command the server refused.
    virtual std::string RefusalText(const EWinshoeResponseError& Error) const;

protected:
    // What the session is doing, for RefusalText.
    void SetStep(TCheckStep Step, int32_t MsgNo = 0) {
        FStep = Step;
        FStepMsgNo = MsgNo;
    }
    TCheckStep FStep = TCheckStep::Login;
    int32_t FStepMsgNo = 0;
};
