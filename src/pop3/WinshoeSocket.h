#pragma once

// TWinshoeSocket: line-oriented reading and writing over the connection, the command-and-reply
// step of the text protocols, the status callback, and TLS underneath all of it.
//
// All of it runs on the session's thread. Lines end with CR LF in both directions; a lone LF
// does not end a line. Limits keep a broken or hostile server from making the client hold
// unbounded memory: a line is capped at MaxLineLength() bytes (1 MiB unless changed), a reply
// (ReadReply, with its continuation lines and any blank lines before it) at MaxReplyLines() lines
// (100,000) and MaxReplyLength() bytes (16 MiB); past a limit the client disconnects and throws
// EWinshoeLineTooLong. A command line that contains CR, LF or NUL is refused before anything is
// written (EWinshoeUnsafeCommand). Other failures: EWinshoeSocketError (a failing socket call,
// or a call ended by CloseSocket from another thread), EWinshoeConnClosedGraceful (the server
// closed; the client has disconnected), EWinshoeClosedSocket (a write with no socket open),
// EWinshoeResponseError (SendCommand met an unexpected reply code, message = the reply line),
// EWinshoeTLSError (the secure session broke down). A status callback that throws is re-raised
// with " occurred in user's OnStatus Event." appended, class kept.
//
// Once a TLS engine is installed (NegotiateTLS), every read and write goes through it; the
// network calls themselves stay here, so CloseSocket from another thread interrupts a handshake
// or a secure read or write exactly as it interrupts a plain one.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pop3/Winshoe.h"

class ITlsEngine;

class TWinshoeSocket : public TWinshoe {
public:
    using TStringEvent = std::function<void(const std::string& text)>;
    using TProgressEvent = std::function<void(int work, int workSize)>;

    static constexpr int DefaultBufferChunk = 8192;
    static constexpr int DefaultMaxLineLength = 1024 * 1024;
    static constexpr int DefaultMaxReplyLength = 16 * 1024 * 1024;
    static constexpr int DefaultMaxReplyLines = 100000;

    TWinshoeSocket();
    ~TWinshoeSocket() override;

    bool PeerClosed() const { return FPeerClosed; }
    bool UseNagle() const { return FUseNagle; }
    void SetUseNagle(bool useNagle) { FUseNagle = useNagle; }
    const std::string& ReplyLine() const { return FReplyLine; }
    std::int16_t ReplyCode() const { return FReplyCode; }
    // Every line of the last multi-line reply; empty after a single-line reply.
    const std::vector<std::string>& ReplyLines() const { return FReplyLines; }
    // The address the last Connect reached, as text; empty after Disconnect.
    const std::string& PeerAddress() const { return FPeerAddress; }

    int BufferChunk() const { return FBufferChunk; }
    // Ignored while connected; otherwise also gives the receive buffer that capacity.
    void SetBufferChunk(int bufferChunk);
    int BufferCapacity() const { return static_cast<int>(FBuffer.size()); }
    int HeldCount() const { return FHeld; }

    int MaxLineLength() const { return FMaxLineLength; }
    void SetMaxLineLength(int maxLineLength) { FMaxLineLength = maxLineLength; }
    int MaxReplyLength() const { return FMaxReplyLength; }
    void SetMaxReplyLength(int maxReplyLength) { FMaxReplyLength = maxReplyLength; }
    int MaxReplyLines() const { return FMaxReplyLines; }
    void SetMaxReplyLines(int maxReplyLines) { FMaxReplyLines = maxReplyLines; }

    // True while the connection runs through TLS; the protocol's name ("TLSv1.3"), else empty.
    bool Secure() const { return FTls != nullptr; }
    std::string SecureProtocol() const;

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
    // Sends the text and CR LF; refuses a text with CR, LF or NUL in it (EWinshoeUnsafeCommand).
    void WriteLine(const std::string& text);
    // Sends the bytes unchanged; an empty text sends nothing, even with no socket open.
    void WriteText(const std::string& text);

    // Status "Disconnecting", empties the buffer, ends TLS, closes the socket, status
    // "Disconnected". Never throws.
    void Disconnect() override;

    void ReportStatus(const std::string& text);

    // Removes leading and trailing blanks and control characters (codes 0 to 32).
    static std::string Trim(const std::string& text);
    // Whether the text may be sent as one command line: no CR, LF or NUL in it.
    static bool SafeCommandLine(std::string_view text);

protected:
    // Empties the buffer and gives it the capacity BufferChunk(); ends TLS.
    void ResetBuffer();
    void SetReplyLine(const std::string& replyLine) { FReplyLine = replyLine; }
    void SetPeerAddress(const std::string& peerAddress) { FPeerAddress = peerAddress; }
    void SetPeerClosed(bool peerClosed) { FPeerClosed = peerClosed; }
    // The received bytes not yet consumed.
    std::string_view Held() const { return {FBuffer.data(), static_cast<std::size_t>(FHeld)}; }

    // The received bytes not yet consumed, receiving once first when none are held (so never
    // empty); the connection's failures as for ReadLine.
    std::string_view PeekReceived();
    // Takes up to maxCount received bytes (at least one), receiving once first when none are
    // held; the connection's failures as for ReadLine. For protocols whose data is not lines.
    std::string ReadAvailable(std::size_t maxCount);
    // Waits until received bytes are held or arrive, at most timeoutMillis (negative: no limit;
    // 0 only looks). False when the time ran out. Through TLS, plain text that the engine holds
    // already counts as arrived. A closed socket or a failure counts as "arrived": the read
    // that follows reports it.
    bool WaitForData(int timeoutMillis);

    // Takes the engine (which must be fresh) and runs the TLS handshake over the open
    // connection; from then on all reads and writes are secure. serverName is only used in
    // error texts; afterUpgrade (STARTTLS) says that the server had agreed to start TLS, so
    // plain text in reply breaks that promise rather than showing a port without TLS. Throws
    // EWinshoeCertificateError, EWinshoeTLSError (plain text arrived, the server closed, the
    // handshake failed) or the transport's exceptions. Nothing may be held unread when it is
    // called.
    void NegotiateTLS(ITlsEngine* engine, const std::string& serverName, bool afterUpgrade = false);

    // Progress of a multi-line read: BeginWork starts counting received bytes, EndWork reports
    // -1. Without an OnWork callback both do nothing.
    void BeginWork();
    void EndWork();

    // Throws EWinshoeSocketError for a failed call (result -1) unless its code is tolerated;
    // returns the tolerated code, or 0 when the call succeeded.
    int CheckSocketResult(long result, int errorCode, std::initializer_list<int> tolerated = {});

private:
    struct TTlsRelease {
        void operator()(ITlsEngine* engine) const;
    };

    void ReceiveMore();
    void CheckPeerClosed();
    void ExtractBytes(int count);
    // One receive from the connection, as recv: bytes, 0 at the peer's close, -1 with the code.
    long RawReceive(char* buffer, std::size_t length, int& errorCode);
    long RawSend(const char* data, std::size_t length, int& errorCode);
    long SecureReceive(char* buffer, std::size_t length, int& errorCode);
    void SendAll(const char* data, std::size_t length);
    void SendTlsOutput();
    // Moves plain text that the TLS engine holds already into the buffer (which holds nothing);
    // true when there was some, or when the secure session has ended or failed.
    bool TakeSecurePending();
    void CountReplyLine(std::size_t length, int& lines, std::size_t& bytes);

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
    int FMaxReplyLength = DefaultMaxReplyLength;
    int FMaxReplyLines = DefaultMaxReplyLines;

    std::unique_ptr<ITlsEngine, TTlsRelease> FTls;
    std::string FTlsScratch; // received TLS records on their way into the engine

    TStringEvent FOnStatus;
    TProgressEvent FOnWork;
    bool FWorking = false;
    int FWorkCount = 0;
    int FWorkReported = 0;
};
