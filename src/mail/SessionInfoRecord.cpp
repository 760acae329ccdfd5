#include "mail/SessionInfoRecord.h"

bool SessionInfoRecord::ErrorFlag() const {
    std::lock_guard Guard(FLock);
    return FErrorFlag;
}

std::string SessionInfoRecord::LastError() const {
    std::lock_guard Guard(FLock);
    return FLastError;
}

void SessionInfoRecord::StoreError(const std::string& Text) {
    std::lock_guard Guard(FLock);
    FErrorFlag = true;
    FLastError = Text;
}

bool SessionInfoRecord::StoreErrorIfNone(const std::string& Text) {
    std::lock_guard Guard(FLock);
    if (FErrorFlag)
        return false;
    FErrorFlag = true;
    FLastError = Text;
    return true;
}

void SessionInfoRecord::ClearError() {
    std::lock_guard Guard(FLock);
    FErrorFlag = false;
    FLastError.clear();
}

std::string SessionInfoRecord::StoredPassword() const {
    std::lock_guard Guard(FLock);
    return FStoredPassword;
}

void SessionInfoRecord::SetStoredPassword(const std::string& Text) {
    std::lock_guard Guard(FLock);
    FStoredPassword = Text;
}

void SessionInfoRecord::WithdrawUnread(int32_t Amount) {
    int32_t Current = NumUnreadMessages.load();
    int32_t Wanted;
    do {
        Wanted = Current > Amount ? Current - Amount : 0;
    } while (!NumUnreadMessages.compare_exchange_weak(Current, Wanted));
}

void SessionInfoRecord::Clear() {
    NumMessages = 0;
    PrevNumMessages = 0;
    NumNewMessages = 0;
    NumToAnnounce = 0;
    ReadingMessageNum = 0;
    ReadingMsgNo = 0;
    NumUnreadMessages = 0;
    EmailFlag = false;
    ClearError();
    SetStoredPassword(std::string());
    FirstAnnouncement = false;
    CountReset = false;
}

std::string TSharedText::Get() const {
    std::lock_guard Guard(FLock);
    return FValue;
}

void TSharedText::Set(const std::string& Value) {
    std::lock_guard Guard(FLock);
    FValue.assign(Value, 0, MaxLength);
}

SessionInfoRecord& SessionInfo() {
    static SessionInfoRecord Record;
    return Record;
}

TLastMessageID& LastMessageID() {
    static TLastMessageID Value;
    return Value;
}

TLastMessageUID& LastMessageUID() {
    static TLastMessageUID Value;
    return Value;
}

TLastIMAPUID& LastIMAPUID() {
    static TLastIMAPUID Value;
    return Value;
}
