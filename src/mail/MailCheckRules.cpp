#include "mail/MailCheckRules.h"

#include "mail/MessageTable.h"
#include "platform/TextBytes.h"

#include <algorithm>
#include <limits>

#include <QString>

namespace {

char AsciiLower(char C) {
    return (C >= 'A' && C <= 'Z') ? char(C - 'A' + 'a') : C;
}

} // namespace

bool SameTextIgnoringCase(const std::string& A, const std::string& B) {
    if (A == B)
        return true;
    // Texts that are not UTF-8 are compared byte by byte with only ASCII letters folded, so
    // that two different undecodable byte runs never meet as replacement characters.
    if (platform::IsUtf8(A) && platform::IsUtf8(B))
        return QString::fromUtf8(A.data(), qsizetype(A.size()))
                   .compare(QString::fromUtf8(B.data(), qsizetype(B.size())),
                            Qt::CaseInsensitive) == 0;
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (AsciiLower(A[I]) != AsciiLower(B[I]))
            return false;
    return true;
}

TDecision Decide(int32_t NumMessages, int32_t PrevNumMessages, const std::string& LastMessageID,
                 const std::function<std::string(int32_t)>& IdOfMessage,
                 const std::function<int32_t()>& PositionOfLastUID) {
    TDecision D;
    if (NumMessages <= 0) {
        D.ClearPrevNumMessages = true;
        return D;
    }
    D.NewestID = IdOfMessage(NumMessages);
    if (SameTextIgnoringCase(D.NewestID, LastMessageID)) {
        D.DebugLines.push_back("DEBUG: Execute; MsgID Matches, skipping");
        return D;
    }
    // A negative stored count is no count at all; asking the server for message -1 would
    // fail every check as a login error.
    if (PrevNumMessages <= 0) {
        D.NumNewMessages = NumMessages;
        D.DebugLines.push_back("DEBUG: Execute; PrevNumMessages = 0, setting New = 0");
        return D;
    }
    if (PrevNumMessages >= NumMessages ||
        !SameTextIgnoringCase(IdOfMessage(PrevNumMessages), LastMessageID)) {
        D.NumNewMessages = NumMessages;
        D.ClearUnread = true;
        D.CountReset = true;
        const int32_t Position = PositionOfLastUID ? PositionOfLastUID() : 0;
        if (Position > 0 && Position < NumMessages) {
            D.NumNewMessages = NumMessages - Position;
            D.DebugLines.push_back("DEBUG: Execute; Messages deleted, last message seen is now " +
                                   std::to_string(Position));
        }
        return D;
    }
    D.NumNewMessages = NumMessages - PrevNumMessages;
    return D;
}

int32_t NumToAnnounceFor(int32_t NumNewMessages, int32_t MaxMessages) {
    MaxMessages = std::clamp(MaxMessages, int32_t(0), MaxMessagesLimit);
    return NumNewMessages <= MaxMessages ? NumNewMessages : MaxMessages;
}

int32_t FirstToFetch(int32_t NumMessages, int32_t NumToAnnounce) {
    return NumMessages - NumToAnnounce + 1;
}

std::string RecentEntryText(int32_t MsgNo, const std::string& Sender) {
    return std::to_string(MsgNo) + ": " + Sender;
}

std::string EscapeSpeechMarkup(const std::string& Text) {
    std::string Result;
    Result.reserve(Text.size());
    for (char C : Text) {
        Result += C;
        if (C == '\\')
            Result += '\\';
    }
    return Result;
}

std::string CountText(int32_t NumNewMessages) {
    if (NumNewMessages <= 1)
        return "You have one new message.  ";
    return "You have " + std::to_string(NumNewMessages) + " new messages.  ";
}

std::string DeletedText(bool CountReset) {
    if (!CountReset)
        return std::string();
    return "Another process has deleted messages on your server.  The message count has been "
           "reset.  \\pau=200\\";
}

std::string LimitText(int32_t NumToAnnounce, int32_t NumNewMessages) {
    if (NumToAnnounce >= NumNewMessages)
        return std::string();
    return "I will only announce the last " + std::to_string(NumToAnnounce) + ".  \\pau=200\\";
}

std::string LeadText(int32_t NumToAnnounce, int32_t NumNewMessages, bool CountReset) {
    const std::string Intro = CountText(NumNewMessages) + DeletedText(CountReset);
    if (NumToAnnounce >= 2)
        return Intro + LimitText(NumToAnnounce, NumNewMessages) + "The first message is ";
    if (NumNewMessages >= 2)
        return Intro + LimitText(NumToAnnounce, NumNewMessages) + "The latest message is ";
    return Intro + "The message is ";
}

std::string GreetingText(const std::string& UserName) {
    if (UserName.empty())
        return std::string();
    return "Hello " + UserName + ".  \\pau=200\\";
}

std::string AnnouncementText(const TAnnouncement& A) {
    std::string Greeting;
    std::string Lead = "The next message is ";
    if (A.FirstAnnouncement) {
        Greeting = GreetingText(A.UserName);
        Lead = LeadText(A.NumToAnnounce, A.NumNewMessages, A.CountReset);
    }
    return Greeting + Lead + "from \\Ctx=e-mail\\" + EscapeSpeechMarkup(A.From) +
           ".   \\pau=200\\Subject: " + EscapeSpeechMarkup(A.Subject) + ".";
}

std::string MenuMRUClickText(const std::string& From, const std::string& Subject) {
    return "That message is from \\Ctx=e-mail\\" + EscapeSpeechMarkup(From) +
           ".   \\pau=200\\Subject: " + EscapeSpeechMarkup(Subject) + ".";
}

std::string UnreadStatusText(int32_t NumUnreadMessages) {
    if (NumUnreadMessages > 0)
        return "You have " + std::to_string(NumUnreadMessages) + " unread message(s)";
    return "No unread messages";
}

int32_t SaturatingAdd(int32_t A, int32_t B) {
    int32_t Sum = 0;
    if (__builtin_add_overflow(A, B, &Sum))
        return B > 0 ? std::numeric_limits<int32_t>::max() : std::numeric_limits<int32_t>::min();
    return Sum;
}

std::string RejectedCommandText(TCheckStep Step, int32_t MsgNo, const std::string& ReplyLine) {
    std::string Text;
    switch (Step) {
    case TCheckStep::Login:
        Text = LoginErrorText;
        break;
    case TCheckStep::Count:
        Text = "Error: Unable to count the messages on the server";
        break;
    case TCheckStep::Headers:
        Text = "Error: Unable to retrieve the headers of message " + std::to_string(MsgNo);
        break;
    case TCheckStep::Quit:
        Text = "Error: The server did not end the session";
        break;
    }
    return WithServerReply(Text, ReplyLine);
}

std::string WithServerReply(const std::string& Text, const std::string& ReplyLine) {
    std::string Reply = ReplyLine;
    if (Reply.rfind("-ERR", 0) == 0)
        Reply.erase(0, 4);
    Reply = DisplayText(Reply);
    const auto Begin = Reply.find_first_not_of(' ');
    if (Begin == std::string::npos)
        return Text;
    Reply = Reply.substr(Begin, Reply.find_last_not_of(' ') - Begin + 1);
    const std::string Cut = TMessageTable::CutTo(Reply, MaxServerReplyLength);
    if (Cut.size() < Reply.size())
        Reply = Cut + "...";
    return Text + " (server: " + Reply + ")";
}

bool RecentEntrySpeech(TMessageTable& Table, int32_t MsgNo, std::string& Text) {
    if (!Table.Locate(MsgNo))
        return false;
    Text = MenuMRUClickText(Table.CurrentFrom(), Table.CurrentSubject());
    return true;
}

namespace {

struct TImapMemory {
    uint32_t UidValidity = 0;
    uint32_t Uid = 0;
};

bool ReadUint32(const std::string& Text, uint32_t& Value) {
    if (Text.empty() || Text.size() > 10)
        return false;
    uint64_t Number = 0;
    for (const char C : Text) {
        if (C < '0' || C > '9')
            return false;
        Number = Number * 10 + uint64_t(C - '0');
    }
    if (Number > std::numeric_limits<uint32_t>::max())
        return false;
    Value = uint32_t(Number);
    return true;
}

bool ParseImapMemory(const std::string& Stored, TImapMemory& Memory) {
    const auto Slash = Stored.find('/');
    return Slash != std::string::npos && ReadUint32(Stored.substr(0, Slash), Memory.UidValidity) &&
           ReadUint32(Stored.substr(Slash + 1), Memory.Uid);
}

} // namespace

TImapCheckPlan PlanImapCheck(const std::string& Stored, uint32_t UidValidity) {
    TImapCheckPlan Plan;
    TImapMemory Memory;
    if (!ParseImapMemory(Stored, Memory))
        Plan.FirstCheck = true;
    else if (Memory.UidValidity != UidValidity)
        Plan.Rebuilt = true;
    else
        Plan.Above = Memory.Uid;
    return Plan;
}

std::string ImapMemoryAfter(const std::string& Stored, uint32_t UidValidity, uint32_t HighestUid) {
    TImapMemory Memory;
    uint32_t Uid = HighestUid;
    if (ParseImapMemory(Stored, Memory) && Memory.UidValidity == UidValidity)
        Uid = std::max(Uid, Memory.Uid);
    return std::to_string(UidValidity) + "/" + std::to_string(Uid);
}

std::string FolderRebuiltText(const std::string& Folder) {
    return "The server has renumbered the folder \"" + ServerDisplayText(Folder) +
           "\"; mail that was already there is not announced.";
}
