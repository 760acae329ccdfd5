#pragma once
// The rules of one mail check, as plain functions: what is new (Decide), how many to fetch,
// who sent a message, and the sentences the character says. No threads, no network, no
// windows; the worker and the recent-messages menu call these.
//
// Texts are 8-bit strings as they come from the server. Every text meant for the character
// has the backslashes of its header values doubled, so that a sender or subject cannot carry
// speech markup ("\pau=...\", "\Ctx=...\") of its own.
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
// and for PrevNumMessages only when the last two rules are reached. Whatever IdOfMessage
// throws passes through.
TDecision Decide(int32_t NumMessages, int32_t PrevNumMessages, const std::string& LastMessageID,
                 const std::function<std::string(int32_t)>& IdOfMessage);

// Fetch arithmetic: how many of the new messages are fetched and announced, and the number
// of the first of them. A negative MaxMessages counts as 0.
int32_t NumToAnnounceFor(int32_t NumNewMessages, int32_t MaxMessages);
int32_t FirstToFetch(int32_t NumMessages, int32_t NumToAnnounce);

// The sender as shown and spoken: From up to its first "<", trimmed of blanks (code 32 only).
std::string ExtractSender(const std::string& From);

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
    std::string From;    // the row's sender, raw
    std::string Subject; // the row's subject, raw
};

// The full text handed to the character for one announced message.
std::string AnnouncementText(const TAnnouncement& A);

// The text a recent-messages entry makes the character say.
std::string MenuMRUClickText(const std::string& From, const std::string& Subject);

// Status texts of the end of a check.
std::string UnreadStatusText(int32_t NumUnreadMessages);

class TMessageTable;

// What choosing a recent-messages entry with data MsgNo makes the character say: locates the
// row (which becomes current) and returns MenuMRUClickText of its sender and subject; false
// when no row carries that number (the caller then shows "Talvoro Error: Message not found").
bool RecentEntrySpeech(TMessageTable& Table, int32_t MsgNo, std::string& Text);

inline constexpr const char* MessageNotFoundText = "Talvoro Error: Message not found";
