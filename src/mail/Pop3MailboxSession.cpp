#include "mail/Pop3MailboxSession.h"

#include "mail/SessionInfoRecord.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoeMessage.h"
#include "pop3/WinshoePOP3.h"

std::string IMailboxSession::RefusalText(const EWinshoeResponseError& Error) const {
    return RejectedCommandText(FStep, FStepMsgNo, Error.what());
}

bool TPop3MailboxSession::Connected() const {
    return FPOP3.Connected();
}

void TPop3MailboxSession::CloseSocket() {
    FPOP3.CloseSocket();
}

void TPop3MailboxSession::Connect() {
    SetStep(TCheckStep::Login);
    FPOP3.Connect();
}

void TPop3MailboxSession::Disconnect() {
    FPOP3.Disconnect();
}

int32_t TPop3MailboxSession::CountMessages() {
    SetStep(TCheckStep::Count);
    return FPOP3.CheckMessages();
}

TDecision TPop3MailboxSession::DecideNew(int32_t NumMessages, int32_t PrevNumMessages,
                                         TWinshoeMessage& Msg) {
    FNumMessages = NumMessages;
    FNewestUID.clear();
    FNewestUIDKnown = false;
    const TDecision Decision = Decide(
        NumMessages, PrevNumMessages, LastMessageID().Get(),
        [this, NumMessages, &Msg](int32_t N) {
            SetStep(TCheckStep::Headers, N);
            FPOP3.RetrieveHeader(N, Msg);
            if (N == NumMessages) {
                FNewestFrom = Msg.From();
                FNewestSubject = Msg.Subject();
            }
            return Msg.MsgID();
        },
        [this, NumMessages] { return PositionOfLastUID(NumMessages); });
    FNewestID = Decision.NewestID;
    if (Decision.NumNewMessages <= 0) {
        FNewestFrom.clear();
        FNewestSubject.clear();
    }
    return Decision;
}

// Only on the restarted count: one unique-ID listing, searched as it arrives for the ID of the
// newest message seen before. The listing also gives the newest message's own ID, so that the
// fetch needs no "UIDL n" afterwards.
int32_t TPop3MailboxSession::PositionOfLastUID(int32_t NumMessages) {
    const std::string Wanted = LastMessageUID().Get();
    if (Wanted.empty())
        return 0;
    int32_t Position = 0;
    const bool Listed = FPOP3.UIDList([&](int Number, const std::string& UID) {
        if (Number < 1 || Number > NumMessages)
            return;
        if (Position == 0 && UID == Wanted)
            Position = Number;
        if (Number == NumMessages)
            FNewestUID = UID;
    });
    // A server that refuses the listing has no unique IDs to ask for message by message either.
    FNewestUIDKnown = true;
    if (!Listed)
        FNewestUID.clear();
    return Position;
}

void TPop3MailboxSession::FetchNew(int32_t Index, int32_t Count, TWinshoeMessage& Msg) {
    // Count <= NumNewMessages <= NumMessages, so the first is at least 1.
    const int32_t N = FirstToFetch(FNumMessages, Count) + Index;
    SetStep(TCheckStep::Headers, N);
    FPOP3.RetrieveHeader(N, Msg);
    Msg.SetMsgNo(N);
    if (N == FNumMessages)
        FNewestID = Msg.MsgID();
}

void TPop3MailboxSession::Remember(bool FoundNew) {
    // With nothing new the memory already names the newest message.
    if (!FoundNew)
        return;
    if (!FNewestUIDKnown)
        FNewestUID = FPOP3.UID(FNumMessages);
    LastMessageID().Set(FNewestID);
    LastMessageUID().Set(FNewestUID);
}

void TPop3MailboxSession::Quit() {
    SetStep(TCheckStep::Quit);
    FPOP3.Quit();
}
