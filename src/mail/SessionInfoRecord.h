#pragma once
// The counters and flags that the window thread and the mail-check thread share, and the
// memory one check leaves for the next (LastMessageID beside the record).
//
// There is one process-wide record, SessionInfo(). Every field may be read and written from
// either thread: the counters and flags are atomics, the texts sit behind a small lock. The
// error pair (ErrorFlag, LastError) is kept together so that the rule "a Stop or time-out text
// stored before the network error it causes is kept" holds: Stop and the time-out call
// StoreError, the worker's generic failure path calls StoreErrorIfNone, which stores nothing
// when a text is already there. Nothing here throws except std::bad_alloc.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

class SessionInfoRecord {
public:
    std::atomic<int32_t> NumMessages{0};
    std::atomic<int32_t> PrevNumMessages{0};
    std::atomic<int32_t> NumNewMessages{0};
    std::atomic<int32_t> NumToAnnounce{0};
    std::atomic<int32_t> ReadingMessageNum{0};
    std::atomic<int32_t> ReadingMsgNo{0};
    std::atomic<int32_t> NumUnreadMessages{0};
    std::atomic<bool> EmailFlag{false};

    // ErrorFlag and LastError: read and written as a pair.
    bool ErrorFlag() const;
    std::string LastError() const;
    // ErrorFlag := true; LastError := Text, replacing any text already stored.
    void StoreError(const std::string& Text);
    // When ErrorFlag is still false: LastError := Text, ErrorFlag := true, and returns true.
    // Otherwise leaves the stored text alone and returns false.
    bool StoreErrorIfNone(const std::string& Text);
    // ErrorFlag := false; LastError := empty (the start of every check).
    void ClearError();

    std::string StoredPassword() const;
    void SetStoredPassword(const std::string& Text);

    std::atomic<bool> FirstAnnouncement{false};
    std::atomic<bool> CountReset{false};

    // Takes Amount off NumUnreadMessages without going below 0 (a Mark Read may have cleared
    // the count in the meantime).
    void WithdrawUnread(int32_t Amount);

    // Everything back to zero, false or empty, as at program start.
    void Clear();

private:
    mutable std::mutex FLock;
    bool FErrorFlag = false;
    std::string FLastError;
    std::string FStoredPassword;
};

// A text that the window thread and the mail-check thread share, kept to at most MaxLength
// bytes (longer values are cut when set). Byte for byte otherwise: nothing is decoded.
class TSharedText {
public:
    static constexpr std::size_t MaxLength = 998;

    std::string Get() const;
    void Set(const std::string& Value);

private:
    mutable std::mutex FLock;
    std::string FValue;
};

// The message ID of the newest message a check has seen; empty when nothing is stored. The
// main window shows it in PanelLastMessageID and the settings store saves it; the worker reads
// and advances it. Safe to use from both threads.
class TLastMessageID : public TSharedText {};

// The server's unique ID ("UIDL") of that same newest message; empty when nothing is stored or
// the server gave none. Stored as "PanelLastMessageUID" beside "PanelLastMessageID"; the worker
// advances both together, and the reset of the message count empties both. A check uses it
// only when messages were deleted elsewhere, to find where the new messages begin.
class TLastMessageUID : public TSharedText {};

// What an IMAP check leaves for the next: the folder's UIDVALIDITY and the newest UID a check
// has seen in it, as "uidvalidity/uid"; empty when nothing is stored. Stored as
// "PanelLastIMAPUID"; the IMAP worker reads and advances it, the reset of the message count
// empties it.
class TLastIMAPUID : public TSharedText {};

SessionInfoRecord& SessionInfo();
TLastMessageID& LastMessageID();
TLastMessageUID& LastMessageUID();
TLastIMAPUID& LastIMAPUID();
