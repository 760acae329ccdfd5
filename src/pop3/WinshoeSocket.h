#pragma once

// TWinshoeSocket: line-oriented reading and writing over the connection, the command-and-reply
// step of the text protocols, and the status callback.
//
// All of it runs on the session's thread. Lines end with CR LF in both directions; a lone LF
// does not end a line. A line is capped at MaxLineLength() bytes (1 MiB unless changed): a
// longer one disconnects and throws EWinshoeLineTooLong, so a broken server cannot make the
// client hold unbounded memory. Other failures: EWinshoeSocketError (a failing socket call, or
// a call ended by CloseSocket from another thread), EWinshoeConnClosedGraceful (the server
// closed; the client has disconnected), EWinshoeClosedSocket (a write with no socket open),
// EWinshoeResponseError (SendCommand met an unexpected reply code). A status callback that
// throws is re-raised with " occurred in user's OnStatus Event." appended, class kept.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "pop3/Winshoe.h"

class TWinshoeSocket : public TWinshoe {
public:
    using TStringEvent = std::function<void(const std::string& text)>;
    using TProgressEvent = std::function<void(int work, int workSize)>;

    static constexpr int DefaultBufferChunk = 8192;
    static constexpr int DefaultMaxLineLength = 1024 * 1024;

    TWinshoeSocket();

    bool PeerClosed() const { return FPeerClosed; }
    bool UseNagle() const { return FUseNagle; }
    void SetUseNagle(bool useNagle) { FUseNagle = useNagle; }
    const std::string& ReplyLine() const { return FReplyLine; }
    std::int16_t ReplyCode() const { return FReplyCode; }
    // Every line of the last multi-line reply; empty after a single-line reply.
    const std::vector<std::string>& ReplyLines() const { return FReplyLines; }
    // The address the last Connect resolved, as text; empty after Disconnect.
    const std::string& PeerAddress() const { return FPeerAddress; }

    int BufferChunk() const { return FBufferChunk; }
    // Ignored while connected; otherwise also gives the receive buffer that capacity.
    void SetBufferChunk(int bufferChunk);
    int BufferCapacity() const { return static_cast<int>(FBuffer.size()); }
    int HeldCount() const { return FHeld; }

    int MaxLineLength() const { return FMaxLineLength; }
    void SetMaxLineLength(int maxLineLength) { FMaxLineLength = maxLineLength; }

    void SetOnStatus(TStringEvent onStatus) { FOnStatus = std::move(onStatus); }
    void SetOnWork(TProgressEvent onWork) { FOnWork = std::move(onWork); }

    // Sends the command (unless it is the single character 0), reads the reply, checks its code
    // against expected (-1 accepts any) and reports the status text: "*" reports the reply line,
    // an empty status reports nothing; either is indented by 2 x indent blanks.
    virtual std::int16_t SendCommand(const std::string& command, std::int16_t expected,
                                     const std::string& status = {}, std::uint8_t indent = 0);
    // Reads one reply, skipping empty lines, trimming blanks and control characters, following
    // "nnn-" continuation lines. Code: 1 for "+OK", 0 for "-ERR", else the leading three digits
    // (0 when they are not digits).
    std::int16_t ReadReply();
    // The next line without its CR LF, not trimmed.
    std::string ReadLine();
    void WriteLine(const std::string& text);
    // Sends the bytes unchanged; an empty text sends nothing, even with no socket open.
    void WriteText(const std::string& text);

    // Status "Disconnecting", empties the buffer, closes the socket, status "Disconnected".
    // Never throws.
    void Disconnect() override;

    void ReportStatus(const std::string& text);

    // Removes leading and trailing blanks and control characters (codes 0 to 32).
    static std::string Trim(const std::string& text);

protected:
    // Empties the buffer and gives it the capacity BufferChunk().
    void ResetBuffer();
    void SetReplyLine(const std::string& replyLine) { FReplyLine = replyLine; }
    void SetPeerAddress(const std::string& peerAddress) { FPeerAddress = peerAddress; }
    void SetPeerClosed(bool peerClosed) { FPeerClosed = peerClosed; }

    // Progress of a multi-line read: BeginWork starts counting received bytes, EndWork reports
    // -1. Without an OnWork callback both do nothing.
    void BeginWork();
    void EndWork();

    // Throws EWinshoeSocketError for a failed call (result -1) unless its code is tolerated;
    // returns the tolerated code, or 0 when the call succeeded.
    int CheckSocketResult(long result, int errorCode, std::initializer_list<int> tolerated = {});

private:
    void ReceiveMore();
    void CheckPeerClosed();
    void ExtractBytes(int count);

    bool FPeerClosed = false;
    bool FUseNagle = true;
    std::string FReplyLine;
    std::int16_t FReplyCode = 0;
    std::vector<std::string> FReplyLines;
    std::string FPeerAddress;

    std::string FBuffer; // its size is the capacity; the first FHeld bytes are unconsumed
    int FHeld = 0;
    int FBufferChunk = DefaultBufferChunk;
    int FMaxLineLength = DefaultMaxLineLength;

    TStringEvent FOnStatus;
    TProgressEvent FOnWork;
    bool FWorking = false;
    int FWorkCount = 0;
    int FWorkReported = 0;
};
