#pragma once

// TImapClient: the part of IMAP that a mail check and a push connection speak, on the same
// transport as POP3 (TLS module, trusted-certificate rule, name lookup, reply caps, CloseSocket
// from another thread). It never changes the mailbox: folders are opened with EXAMINE and
// headers fetched with BODY.PEEK, so no flag is set.
//
// Connect() reads the greeting, secures the connection and logs in; any failure disconnects
// and passes on: EWinshoeConnectRefused (the greeting is not "* OK" or "* PREAUTH"; message =
// the greeting), EWinshoeResponseError (the login was refused; message = the server's words
// after the tag and "NO"), EWinshoeTLSRequired (the server announced LOGINDISABLED on a plain
// connection: the password was not sent), EWinshoeUnsafeCommand (the name or password holds
// CR, LF or NUL: checked before connecting), or the transport's exceptions.
//
// Security (TWinshoeClient::Security): with SSLTLS the whole session runs in TLS. With STARTTLS,
// the client learns the capabilities, sends STARTTLS only when they list it, runs the handshake,
// asks for the capabilities again, and only then logs in; when STARTTLS is not offered or is
// refused it fails with EWinshoeSTLSUnavailable and the password is never sent. With None nothing
// on the wire changes, except that a server that expects TLS is recognised (EWinshoeTLSRequired)
// when its first bytes are a TLS record, or when it sends no greeting within
// TLSPortGreetingWait() milliseconds on TLSPort() (993).
//
// The login uses AUTHENTICATE PLAIN when the server offers it (with the initial response in the
// command when it offers SASL-IR), else LOGIN with quoted strings, or literals for 8-bit text.
//
// The exchanges after Connect() throw EWinshoeResponseError for a refusal (NO or BAD; message =
// the server's words), EImapProtocolError for replies that are not IMAP, EWinshoeLineTooLong past
// the reply caps (MaxReplyLength() bytes, MaxReplyLines() lines, also for literals, checked
// before they are read), EWinshoeConnClosedGraceful when the server says BYE (message with the
// server's words), and the transport's exceptions. The last three disconnect.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "imap/ImapResponse.h"
#include "pop3/WinshoeMessageClient.h"

class TImapClient : public TWinshoeMessageClient {
public:
    static constexpr int DefaultPort = 143;
    static constexpr int DefaultTLSPort = 993;

    // What EXAMINE reports of a folder. Exists is the number of messages; UidNext may be 0 when
    // the server does not say.
    struct TFolderStatus {
        std::uint32_t UidValidity = 0;
        std::uint32_t UidNext = 0;
        std::uint32_t Exists = 0;
        std::uint32_t Recent = 0;
    };

    using TUntaggedEvent = std::function<void(const TImapResponse& response)>;

    TImapClient();

    void Connect() override;
    void Disconnect() override;

    // The capabilities the server listed last (after the login: those of the logged-in
    // session), in capitals.
    const std::vector<std::string>& Capabilities() const { return FCapabilities; }
    bool HasCapability(std::string_view name) const;

    // Opens the folder read-only ("INBOX" when empty; non-ASCII names are sent in modified
    // UTF-7). Throws EImapFolderError when the server refuses (Missing() for the NONEXISTENT
    // code or a NO without any code), EWinshoeUnsafeCommand for a name with CR, LF or NUL
    // (nothing sent).
    TFolderStatus Examine(const std::string& folder);
    // The number of messages in the open folder as the server last said.
    std::uint32_t Exists() const { return FExists; }
    // The highest UID in the open folder; 0 when it is empty.
    std::uint32_t HighestUid();
    // The UIDs above uid of the messages without \Seen, in ascending order.
    std::vector<std::uint32_t> UnseenAbove(std::uint32_t uid);
    // Fetches From, Subject and Message-ID of the message with this UID into the message (read
    // as a header block, see TWinshoeMessageClient::ParseHeaderBlock), whose MsgNo becomes the
    // message's number in the folder. False when the folder has no such message (any more); the
    // message is then empty.
    bool FetchHeader(std::uint32_t uid, TWinshoeMessage& message);
    // One round of IDLE: waits for news until renewAfter has passed, then ends it with DONE.
    // Calls onNews once for each batch of replies that read together reports a change
    // (EXISTS, RECENT, EXPUNGE, FETCH), never once per line. Returns after the server has
    // confirmed the end; throws EWinshoeResponseError when it refuses IDLE.
    void Idle(std::chrono::milliseconds renewAfter, const std::function<void()>& onNews);
    // LOGOUT; the connection stays open until Disconnect().
    void Logout();

    // TCP keep-alive on the open socket, so that a connection that died without a word is
    // noticed by the system within about that many seconds of silence (the probes start after
    // half of it); also bounds how long sent data may stay unacknowledged. Nothing happens
    // without a socket.
    void SetKeepAlive(int seconds);

    // Sends one command (the tag is added) and reads up to its tagged reply, which it returns
    // whatever its status; each untagged reply before it goes to onUntagged.
    TImapResponse Command(const std::string& command, const TUntaggedEvent& onUntagged = {});
    // Reads one response.
    TImapResponse ReadResponse();

    // The server's words of a status reply: the reply line without its tag and status.
    static std::string ServerWords(const std::string& line);

private:
    std::string NextTag();
    TImapLimits Limits() const;
    void Note(const TImapResponse& response);
    TImapResponse ReadUntilTagged(const std::string& tag, const TUntaggedEvent& onUntagged);
    // Throws EWinshoeResponseError with the server's words of the reply just read.
    [[noreturn]] void Refused();
    void CommandOK(const std::string& command, const TUntaggedEvent& onUntagged = {});
    void ReadGreeting(bool& preauthenticated);
    void AskCapabilities();
    void NegotiateStartTLS();
    void Login();
    void LoginWithPassword();
    void AuthenticatePlain();
    std::vector<std::uint32_t> SearchUids(const std::string& criteria);
    [[noreturn]] void ProtocolError(const std::string& what);

    std::vector<std::string> FCapabilities;
    unsigned FTagNumber = 0;
    std::uint32_t FExists = 0;
    bool FLoggingOut = false;
    bool FSawBye = false;
    std::string FLastLine; // the first line of the last response read
};
