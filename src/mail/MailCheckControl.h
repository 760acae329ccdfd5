#pragma once
// The parts of starting, bounding and resetting a mail check that need no window: the port
// rule, the time-out label, the account test, Stop and time-out, Mark Read and the reset of the
// message count. Window thread; nothing here throws except StopConnection (see there).
#include <cstdint>
#include <string>

class TMessageTable;
class TRecentList;
class TWinshoe;

// The port a check uses: the field's number, or 110 when the field is empty or does not hold
// a decimal number (or one outside 1..65535).
uint16_t PortFromText(const std::string& Text);

// "[%d minutes %d seconds]" for a time-out in milliseconds.
std::string TimeoutLabelText(int32_t Milliseconds);

// A check needs a server, a login name and a password; the port may be empty.
bool AccountComplete(const std::string& Server, const std::string& Account,
                     const std::string& Password);

// The dialog text when it is not.
inline constexpr const char* IncompleteAccountText =
    "Unable to check E-mail, account information is not complete.  Please complete all fields "
    "on the E-mail tab.";

inline constexpr const char* StoppedByUserText = "Connection stopped by user";
inline constexpr const char* ConnectionTimeoutText = "Connection timeout";
// A failure whose server text holds nothing readable (a greeting of control characters).
inline constexpr const char* UnreadableReplyText = "(unreadable reply)";
// Ends the text of a certificate that a scheduled check refused.
inline constexpr const char* ReviewCertificateText = "Use Check Now to review the certificate.";

// Stop and time-out: ErrorFlag := true and LastError := Text (replacing any text), then, when
// the client is connected, close its socket at once (no quit), so that the worker's pending
// network call fails and the worker keeps Text as the check's error. Passes on what closing
// the socket throws; the caller then writes its debug line. Client is the check's POP3 or IMAP
// client.
void StopConnection(TWinshoe& Client, const std::string& Text);

// Mark Read: EmailFlag := false, NumUnreadMessages := 0. The caller disables Mark Read and
// calls CheckProgramState.
void MarkMessagesRead();

// The reset of the message count: LastMessageID, LastMessageUID and LastIMAPUID := empty,
// NumMessages, NumNewMessages, PrevNumMessages and NumUnreadMessages := 0, EmailFlag := false, the
// table emptied and the recent list cleared. The caller sets LabelNumMessages to "na", shows the
// empty PanelLastMessageID and calls CheckProgramState.
void ResetMessageCount(TMessageTable& Table, TRecentList& Recent);
