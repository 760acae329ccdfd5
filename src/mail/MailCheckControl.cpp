#include "mail/MailCheckControl.h"

#include "mail/MessageTable.h"
#include "mail/RecentList.h"
#include "mail/SessionInfoRecord.h"
#include "pop3/Winshoe.h"

#include <cstdio>

uint16_t PortFromText(const std::string& Text) {
    constexpr uint16_t DefaultPort = 110;
    if (Text.empty() || Text.size() > 5)
        return DefaultPort;
    uint32_t Value = 0;
    for (char C : Text) {
        if (C < '0' || C > '9')
            return DefaultPort;
        Value = Value * 10 + uint32_t(C - '0');
    }
    if (Value == 0 || Value > 65535)
        return DefaultPort;
    return uint16_t(Value);
}

std::string TimeoutLabelText(int32_t Milliseconds) {
    char Buffer[64];
    std::snprintf(Buffer, sizeof Buffer, "[%d minutes %d seconds]", int(Milliseconds / 60000),
                  int((Milliseconds % 60000) / 1000));
    return Buffer;
}

bool AccountComplete(const std::string& Server, const std::string& Account,
                     const std::string& Password) {
    return !Server.empty() && !Account.empty() && !Password.empty();
}

void StopConnection(TWinshoe& Client, const std::string& Text) {
    // The text goes first: the worker's failure that the close causes must find it stored.
    SessionInfo().StoreError(Text);
    if (Client.Connected())
        Client.CloseSocket();
}

void MarkMessagesRead() {
    SessionInfo().EmailFlag = false;
    SessionInfo().NumUnreadMessages = 0;
}

void ResetMessageCount(TMessageTable& Table, TRecentList& Recent) {
    SessionInfoRecord& Info = SessionInfo();
    LastMessageID().Set(std::string());
    LastMessageUID().Set(std::string());
    LastIMAPUID().Set(std::string());
    Info.NumMessages = 0;
    Info.NumNewMessages = 0;
    Info.PrevNumMessages = 0;
    Info.NumUnreadMessages = 0;
    Info.EmailFlag = false;
    Table.Empty();
    Recent.Clear();
}
