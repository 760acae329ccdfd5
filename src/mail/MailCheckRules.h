#pragma once
// The rules of one mail check, as plain functions: what is new (Decide), how many to fetch,
// and the sentences the character says. No threads, no network, no windows; the worker and the
// recent-messages menu call these.
//
// Message IDs and unique IDs are the server's bytes, compared as they are. Senders and subjects
// in the message table and the announcements are display text (mail/HeaderText.h). Every text
// meant for the character has the backslashes of its header values doubled, so that a sender
// or subject cannot carry speech markup ("\pau=...\", "\Ctx=...\") of its own; the character
// component escapes everything else.
#include "mail/HeaderText.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Two message IDs (or recent-list texts) are the same when they match ignoring letter case.
bool SameTextIgnoringCase(const std::string& A, const std::string& B);

// The outcome of deciding what is new.
struct TDecision {
    int32_t NumNewMessages = 0;
    bool ClearPrevNumMessages = false;   // PrevNumMessages := 0
    bool ClearUnread = false;            // NumUnreadMessages := 0
    bool CountReset = false;             // CountReset := true
    std::string NewestID;                // ID of message NumMessages; empty when not fetched
    std::vector<std::string> DebugLines; // in the order they are emitted
};

// Decides how many messages are new. IdOfMessage(n) fetches the header of message n and
// returns its Message-ID; it is called for message NumMessages first (when NumMessages > 0)
// and for PrevNumMessages only when the last two rules are reached. Whatever it throws passes
// through.
//
// When messages were deleted elsewhere (the count restarts), PositionOfLastUID, when given, is
// asked once for the number that the newest message seen before has now (found by its unique
// ID), or 0 when it cannot be found. A position below NumMessages makes only the messages
// after it new; the count still restarts (the unread count starts again from these, and the
// announcement says that messages were deleted). Otherwise every message counts as new.
TDecision Decide(int32_t NumMessages, int32_t PrevNumMessages, const std::string& LastMessageID,
                 const std::function<std::string(int32_t)>& IdOfMessage,
                 const std::function<int32_t()>& PositionOfLastUID = nullptr);

// Fetch arithmetic: how many of the new messages are fetched and announced, and the number
// of the first of them. MaxMessages is kept to 0..MaxMessagesLimit, so that no server count
// makes a check fetch more headers than that.
inline constexpr int32_t MaxMessagesLimit = 25;
int32_t NumToAnnounceFor(int32_t NumNewMessages, int32_t MaxMessages);
int32_t FirstToFetch(int32_t NumMessages, int32_t NumToAnnounce);

// The text of a recent-messages entry: MsgNo, ": ", sender.
std::string RecentEntryText(int32_t MsgNo, const std::string& Sender);

// Doubles every backslash, so the character speaks the text as written.
std::string EscapeSpeechMarkup(const std::string& Text);

// The pieces of an announcement.
std::string CountText(int32_t NumNewMessages);
std::string DeletedText(bool CountReset);
std::string LimitText(int32_t NumToAnnounce, int32_t NumNewMessages);
std::string LeadText(int32_t NumToAnnounce, int32_t NumNewMessages, bool CountReset);
std::string GreetingText(const std::string& UserName);

// What the announcement of one message needs to know.
struct TAnnouncement {
    bool FirstAnnouncement = false;
    bool CountReset = false;
    int32_t NumToAnnounce = 0;
    int32_t NumNewMessages = 0;
    std::string UserName;
    std::string From;    // the row's sender, as shown
    std::string Subject; // the row's subject, as shown
};

// The full text handed to the character for one announced message.
std::string AnnouncementText(const TAnnouncement& A);

// The text a recent-messages entry makes the character say.
std::string MenuMRUClickText(const std::string& From, const std::string& Subject);

// Status texts of the end of a check.
std::string UnreadStatusText(int32_t NumUnreadMessages);

// A + B for counts that only grow: the largest int32 instead of an overflow.
int32_t SaturatingAdd(int32_t A, int32_t B);

inline constexpr const char* LoginErrorText = "Error: Please check your login/password";

// What a check was doing when the server rejected a command.
enum class TCheckStep { Login, Count, Headers, Quit };

// Text, then the server's own reply in parentheses as RejectedCommandText writes it.
std::string WithServerReply(const std::string& Text, const std::string& ReplyLine);

// The last error of a check whose command the server rejected: what failed, then the server's
// own reply in parentheses (without its "-ERR", as one line of display text, at most
// MaxServerReplyLength characters), e.g. "Error: Please check your login/password (server:
// [AUTH] Authentication failed.)". Without reply text, no parentheses. MsgNo names the message
// of a failed header fetch.
std::string RejectedCommandText(TCheckStep Step, int32_t MsgNo, const std::string& ReplyLine);
inline constexpr size_t MaxServerReplyLength = 200;

class TMessageTable;

// What choosing a recent-messages entry with data MsgNo makes the character say: locates the
// row (which becomes current) and returns MenuMRUClickText of its sender and subject; false
// when no row carries that number (the caller then shows "Talvoro Error: Message not found").
bool RecentEntrySpeech(TMessageTable& Table, int32_t MsgNo, std::string& Text);

inline constexpr const char* MessageNotFoundText = "Talvoro Error: Message not found";

// What is new in an IMAP folder. The memory a check leaves for the next is one text,
// "uidvalidity/uid": the folder's UIDVALIDITY and the newest UID a check has seen in it. New
// are the messages without \Seen whose UID is above that UID, in the same UIDVALIDITY.
struct TImapCheckPlan {
    bool FirstCheck = false; // nothing (readable) stored: every unseen message is new
    bool Rebuilt = false;    // the UIDVALIDITY changed: the server renumbered the folder, and
                             // nothing in it counts as new
    uint32_t Above = 0;      // otherwise: unseen messages with a UID above this are new
};
TImapCheckPlan PlanImapCheck(const std::string& Stored, uint32_t UidValidity);
// The memory after a check that found HighestUid as the folder's highest UID; it never moves
// back within the same UIDVALIDITY (UIDs are not used again).
std::string ImapMemoryAfter(const std::string& Stored, uint32_t UidValidity, uint32_t HighestUid);

// The end of the status after a check that found the folder renumbered, said once.
std::string FolderRebuiltText(const std::string& Folder);
