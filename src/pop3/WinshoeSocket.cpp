#include "pop3/WinshoeSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <poll.h>

#include "pop3/TlsEngine.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoeStream.h"

namespace {

const std::string LineEnd = "\r\n";
const std::string StatusSuffix = " occurred in user's OnStatus Event.";
// A TLS record is at most 16 KiB of payload plus its header and protection.
constexpr std::size_t TlsChunk = 16 * 1024 + 512;

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// The first bytes of a plain POP3 or IMAP server's answer ("+OK", "-ERR", "* OK"), where a TLS
// record was expected: a TLS record starts with a content type from 20 to 23.
bool LooksLikePlainText(std::string_view received) {
    return received.starts_with('+') || received.starts_with('-') || received.starts_with('*');
}

} // namespace

void TWinshoeSocket::TTlsRelease::operator()(ITlsEngine* engine) const {
    engine->Release();
}

TWinshoeSocket::TWinshoeSocket() = default;

TWinshoeSocket::~TWinshoeSocket() = default;

bool TWinshoeSocket::SafeCommandLine(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::string TWinshoeSocket::SecureProtocol() const {
    return FTls ? FTls->ProtocolVersion() : std::string();
}

std::string TWinshoeSocket::Trim(const std::string& text) {
    const auto first = std::find_if_not(text.begin(), text.end(), IsBlankOrControl);
    const auto last = std::find_if_not(text.rbegin(), text.rend(), IsBlankOrControl).base();
    return first < last ? std::string(first, last) : std::string();
}

void TWinshoeSocket::SetBufferChunk(int bufferChunk) {
    if (Connected() || bufferChunk < 1) {
        return;
    }
    FBufferChunk = bufferChunk;
    FBuffer.resize(static_cast<std::size_t>(FBufferChunk));
    FHeld = std::min(FHeld, FBufferChunk - 1);
}

void TWinshoeSocket::ResetBuffer() {
    FTls.reset();
    FTlsScratch.clear();
    FTlsScratch.shrink_to_fit();
    FHeld = 0;
    std::string(static_cast<std::size_t>(FBufferChunk), '\0').swap(FBuffer);
}

void TWinshoeSocket::ReportStatus(const std::string& text) {
    if (!FOnStatus) {
        return;
    }
    try {
        FOnStatus(text);
    } catch (const EWinshoeException& e) {
        e.RaiseWithMessage(e.what() + StatusSuffix);
    } catch (const std::exception& e) {
        throw std::runtime_error(e.what() + StatusSuffix);
    }
}

void TWinshoeSocket::BeginWork() {
    FWorking = true;
    FWorkCount = 0;
    FWorkReported = 0;
}

void TWinshoeSocket::EndWork() {
    if (!FWorking) {
        return;
    }
    FWorking = false;
    if (FOnWork) {
        FOnWork(-1, 0);
    }
}

int TWinshoeSocket::CheckSocketResult(long result, int errorCode,
                                      std::initializer_list<int> tolerated) {
    if (result != SocketError) {
        return 0;
    }
    if (std::find(tolerated.begin(), tolerated.end(), errorCode) != tolerated.end()) {
        return errorCode;
    }
    throw EWinshoeSocketError(errorCode);
}

void TWinshoeSocket::CheckPeerClosed() {
    if (FPeerClosed) {
        if (Connected()) {
            Disconnect();
        }
        throw EWinshoeConnClosedGraceful();
    }
}

void TWinshoeSocket::ReceiveMore() {
    const int chunk = FBufferChunk;
    int capacity = static_cast<int>(FBuffer.size());
    const int free = capacity - FHeld - 1;
    // Grow while the free room is small against what is held, shrink back in steps once a long
    // reply has been consumed; at most one resize per receive.
    if (free < 1 || free < (FHeld + 1) / 2) {
        capacity += chunk;
    } else if (free > 2 * chunk && capacity - chunk > chunk) {
        capacity -= chunk;
    }
    FBuffer.resize(static_cast<std::size_t>(capacity));

    int errorCode = 0;
    const std::size_t room = static_cast<std::size_t>(capacity - FHeld - 1);
    const long received = FTls ? SecureReceive(FBuffer.data() + FHeld, room, errorCode)
                               : RawReceive(FBuffer.data() + FHeld, room, errorCode);

    FPeerClosed = received == 0;
    if (CheckSocketResult(received, errorCode, {WSAESHUTDOWN}) == WSAESHUTDOWN) {
        if (Connected()) {
            Disconnect();
        }
        throw EWinshoeSocketError(WSAESHUTDOWN);
    }
    if (received > 0) {
        FHeld += static_cast<int>(received);
        if (FWorking) {
            FWorkCount += static_cast<int>(received);
            if (FOnWork && FWorkCount - FWorkReported >= 1024) {
                FWorkReported = FWorkCount;
                FOnWork(FWorkCount, 0);
            }
        }
    }
    CheckPeerClosed();
}

void TWinshoeSocket::ExtractBytes(int count) {
    if (count > FHeld) {
        throw std::runtime_error("Not enough data in buffer.");
    }
    std::memmove(FBuffer.data(), FBuffer.data() + count, static_cast<std::size_t>(FHeld - count));
    FHeld -= count;
}

std::string TWinshoeSocket::ReadLine() {
    std::size_t searchFrom = 0;
    for (;;) {
        const std::string_view held(FBuffer.data(), static_cast<std::size_t>(FHeld));
        const std::size_t end = held.find(LineEnd, searchFrom);
        if (end != std::string_view::npos) {
            std::string line(held.substr(0, end));
            ExtractBytes(static_cast<int>(end + LineEnd.size()));
            return line;
        }
        // A CR at the very end may yet be followed by its LF.
        const std::size_t lineSoFar = held.size() - (held.ends_with('\r') ? 1 : 0);
        if (lineSoFar > static_cast<std::size_t>(FMaxLineLength)) {
            Disconnect();
            throw EWinshoeLineTooLong("The server sent a line longer than " +
                                      std::to_string(FMaxLineLength) +
                                      " bytes; the connection was closed.");
        }
        searchFrom = lineSoFar;
        ReceiveMore();
    }
}

void TWinshoeSocket::WriteLine(const std::string& text) {
    if (!SafeCommandLine(text)) {
        throw EWinshoeUnsafeCommand();
    }
    WriteText(text + LineEnd);
}

void TWinshoeSocket::WriteText(const std::string& text) {
    if (text.empty()) {
        return;
    }
    if (!Connected()) {
        throw EWinshoeClosedSocket();
    }
    if (!FTls) {
        SendAll(text.data(), text.size());
        return;
    }
    if (FTls->Write(text.data(), text.size()) < 0) {
        throw EWinshoeTLSError(std::string("The secure connection broke down: ") +
                               FTls->FailureText());
    }
    SendTlsOutput();
}

void TWinshoeSocket::SendAll(const char* data, std::size_t length) {
    std::size_t sent = 0;
    while (sent < length) {
        int errorCode = 0;
        const long result = RawSend(data + sent, length - sent, errorCode);
        FPeerClosed = result == 0;
        CheckPeerClosed();
        if (CheckSocketResult(result, errorCode, {WSAESHUTDOWN}) == WSAESHUTDOWN) {
            if (Connected()) {
                Disconnect();
            }
            throw EWinshoeSocketError(WSAESHUTDOWN);
        }
        sent += static_cast<std::size_t>(result);
    }
}

void TWinshoeSocket::SendTlsOutput() {
    char chunk[TlsChunk];
    while (FTls && FTls->PendingOutput() > 0) {
        const std::size_t count = FTls->Drain(chunk, sizeof chunk);
        if (count == 0) {
            break;
        }
        SendAll(chunk, count);
    }
}

long TWinshoeSocket::RawReceive(char* buffer, std::size_t length, int& errorCode) {
    errorCode = 0;
    if (IWinshoeStream* stream = Stream()) {
        if (!Connected()) {
            throw EWinshoeSocketError(WSAENOTSOCK);
        }
        const long received = stream->Receive(buffer, length);
        errorCode = received < 0 ? WinsockCodeFromErrno(ECONNRESET) : 0;
        return received < 0 ? SocketError : received;
    }
    const TSocket handle = BeginSocketCall();
    if (handle == InvalidSocket) {
        throw EWinshoeSocketError(WSAENOTSOCK);
    }
    const ssize_t received = GWinsockInterface().Recv(handle, buffer, length, 0);
    errorCode = received < 0 ? GWinsockInterface().WSAGetLastError() : 0;
    if (EndSocketCall(handle)) {
        // Closed under the call by another thread: whatever the call returned (Linux reports a
        // plain end of stream), the session was interrupted.
        throw EWinshoeSocketError(WSAEINTR);
    }
    return received;
}

long TWinshoeSocket::RawSend(const char* data, std::size_t length, int& errorCode) {
    errorCode = 0;
    if (IWinshoeStream* stream = Stream()) {
        if (!Connected()) {
            throw EWinshoeClosedSocket();
        }
        const long sent = stream->Send(data, length);
        errorCode = sent < 0 ? WinsockCodeFromErrno(ECONNRESET) : 0;
        return sent < 0 ? SocketError : sent;
    }
    const TSocket handle = BeginSocketCall();
    if (handle == InvalidSocket) {
        throw EWinshoeClosedSocket();
    }
    const ssize_t sent = GWinsockInterface().Send(handle, data, length, 0);
    errorCode = sent < 0 ? GWinsockInterface().WSAGetLastError() : 0;
    if (EndSocketCall(handle)) {
        throw EWinshoeSocketError(WSAEINTR);
    }
    return sent;
}

// Plain text from the engine, receiving as many records as it needs for some: bytes, or the
// raw receive's 0 (closed) or -1 (failed) passed on.
long TWinshoeSocket::SecureReceive(char* buffer, std::size_t length, int& errorCode) {
    errorCode = 0;
    if (FTlsScratch.size() < TlsChunk) {
        FTlsScratch.resize(TlsChunk);
    }
    for (;;) {
        const long result = FTls->Read(buffer, length);
        // Reading can make the engine answer the server (a key update).
        SendTlsOutput();
        if (result > 0) {
            return result;
        }
        if (result == ITlsEngine::PeerClosed) {
            return 0;
        }
        if (result == ITlsEngine::Failed) {
            throw EWinshoeTLSError(std::string("The secure connection broke down: ") +
                                   FTls->FailureText());
        }
        const long received = RawReceive(FTlsScratch.data(), FTlsScratch.size(), errorCode);
        if (received <= 0) {
            return received;
        }
        FTls->Feed(FTlsScratch.data(), static_cast<std::size_t>(received));
    }
}

bool TWinshoeSocket::TakeSecurePending() {
    if (FBuffer.size() < 2) {
        FBuffer.resize(static_cast<std::size_t>(std::max(FBufferChunk, 2)));
    }
    const long result =
        FTls->Read(FBuffer.data() + FHeld, FBuffer.size() - static_cast<std::size_t>(FHeld) - 1);
    SendTlsOutput();
    if (result > 0) {
        FHeld += static_cast<int>(result);
        return true;
    }
    // A close or a failure is news as well: the read that follows reports it.
    return result != ITlsEngine::NeedsInput;
}

std::string_view TWinshoeSocket::PeekReceived() {
    if (FHeld == 0) {
        ReceiveMore();
    }
    return Held();
}

std::string TWinshoeSocket::ReadAvailable(std::size_t maxCount) {
    const std::string_view held = PeekReceived();
    std::string taken(held.substr(0, std::max<std::size_t>(maxCount, 1)));
    ExtractBytes(static_cast<int>(taken.size()));
    return taken;
}

bool TWinshoeSocket::WaitForData(int timeoutMillis) {
    if (FHeld > 0 || Stream() != nullptr || timeoutMillis < 0) {
        return true;
    }
    // Records that arrived together with an earlier one wait inside the TLS engine, where the
    // socket cannot tell of them.
    if (FTls && TakeSecurePending()) {
        return true;
    }
    const TSocket handle = BeginSocketCall();
    if (handle == InvalidSocket) {
        throw EWinshoeSocketError(WSAENOTSOCK);
    }
    const int events = GWinsockInterface().Poll(handle, POLLIN, timeoutMillis);
    if (EndSocketCall(handle)) {
        throw EWinshoeSocketError(WSAEINTR);
    }
    return events != 0;
}

void TWinshoeSocket::NegotiateTLS(ITlsEngine* engine, const std::string& serverName,
                                  bool afterUpgrade) {
    FTls.reset(engine);
    FTlsScratch.resize(TlsChunk);
    bool receivedAny = false;
    for (;;) {
        const int step = FTls->Handshake();
        // Also after a failure: the engine's alert tells the server why.
        try {
            SendTlsOutput();
        } catch (const EWinshoeException&) {
            if (step != ITlsEngine::Failed) {
                throw;
            }
        }
        if (step == ITlsEngine::Complete) {
            return;
        }
        if (step == ITlsEngine::Failed) {
            const std::string reason = FTls->CertificateReason();
            if (!reason.empty()) {
                throw EWinshoeCertificateError(serverName, FTls->PeerFingerprint(), reason);
            }
            throw EWinshoeTLSError("The secure connection to " + serverName +
                                   " failed: " + FTls->FailureText());
        }
        int errorCode = 0;
        const long received = RawReceive(FTlsScratch.data(), FTlsScratch.size(), errorCode);
        if (received == 0) {
            throw EWinshoeTLSError(receivedAny ? "The server " + serverName +
                                                     " ended the secure connection during "
                                                     "its set-up"
                                               : "The server " + serverName +
                                                     " closed the connection instead of "
                                                     "starting a secure session");
        }
        CheckSocketResult(received, errorCode);
        if (!receivedAny && LooksLikePlainText(std::string_view(
                                FTlsScratch.data(), static_cast<std::size_t>(received)))) {
            if (afterUpgrade) {
                throw EWinshoeTLSError("The server agreed to STARTTLS but went on in plain text; "
                                       "the connection was closed and the password was not sent");
            }
            throw EWinshoeTLSError("The server does not use SSL/TLS on this port: choose "
                                   "STARTTLS or None");
        }
        receivedAny = true;
        FTls->Feed(FTlsScratch.data(), static_cast<std::size_t>(received));
    }
}

void TWinshoeSocket::CountReplyLine(std::size_t length, int& lines, std::size_t& bytes) {
    ++lines;
    bytes += length + LineEnd.size();
    if (lines > FMaxReplyLines || bytes > static_cast<std::size_t>(FMaxReplyLength)) {
        Disconnect();
        throw EWinshoeLineTooLong(
            "The server sent a reply of more than " + std::to_string(FMaxReplyLines) +
            " lines or " + std::to_string(FMaxReplyLength) + " bytes; the connection was closed.");
    }
}

std::int16_t TWinshoeSocket::ReadReply() {
    FReplyLines.clear();
    int lines = 0;
    std::size_t bytes = 0;
    auto readNonEmptyLine = [&] {
        std::string line;
        do {
            line = Trim(ReadLine());
            CountReplyLine(line.size(), lines, bytes);
        } while (line.empty());
        return line;
    };

    std::string line = readNonEmptyLine();
    if (line.size() > 3 && line[3] == '-') {
        const std::string endMarker = line.substr(0, 3) + " ";
        FReplyLines.push_back(line);
        do {
            line = readNonEmptyLine();
            FReplyLines.push_back(line);
        } while (!line.starts_with(endMarker));
    }
    FReplyLine = line;

    if (FReplyLine.starts_with("+OK")) {
        FReplyCode = 1;
    } else if (FReplyLine.starts_with("-ERR")) {
        FReplyCode = 0;
    } else {
        const std::string digits = FReplyLine.substr(0, 3);
        const bool numeric =
            std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; });
        FReplyCode = numeric ? static_cast<std::int16_t>(std::stoi(digits)) : 0;
    }
    return FReplyCode;
}

std::int16_t TWinshoeSocket::SendCommand(const std::string& command, std::int16_t expected,
                                         const std::string& status, std::uint8_t indent) {
    if (command != std::string(1, '\0')) {
        WriteLine(command);
    }
    ReadReply();
    if (expected != -1 && expected != FReplyCode) {
        throw EWinshoeResponseError(FReplyLine);
    }
    const std::string margin(2u * indent, ' ');
    if (status == "*") {
        ReportStatus(margin + FReplyLine);
    } else if (!status.empty()) {
        ReportStatus(margin + status);
    }
    return FReplyCode;
}

// Each status text is reported on its own so that a callback failing on the first cannot keep
// the socket open.
void TWinshoeSocket::Disconnect() {
    try {
        ReportStatus("Disconnecting");
    } catch (...) {
    }
    ResetBuffer();
    FPeerAddress.clear();
    if (Connected()) {
        CloseSocket();
    }
    ReleaseStream();
    try {
        ReportStatus("Disconnected");
    } catch (...) {
    }
}
