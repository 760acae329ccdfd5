#include "pop3/WinshoeSocket.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "pop3/WinshoeExceptions.h"

namespace {

const std::string LineEnd = "\r\n";
const std::string StatusSuffix = " occurred in user's OnStatus Event.";

bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

} // namespace

TWinshoeSocket::TWinshoeSocket() = default;

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

    const TSocket handle = BeginSocketCall();
    if (handle == InvalidSocket) {
        throw EWinshoeSocketError(WSAENOTSOCK);
    }
    const ssize_t received = GWinsockInterface().Recv(
        handle, FBuffer.data() + FHeld, static_cast<std::size_t>(capacity - FHeld - 1), 0);
    const int errorCode = received < 0 ? GWinsockInterface().WSAGetLastError() : 0;
    if (EndSocketCall(handle)) {
        // Closed under the call by another thread: whatever the call returned (Linux reports a
        // plain end of stream), the session was interrupted.
        throw EWinshoeSocketError(WSAEINTR);
    }

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
    WriteText(text + LineEnd);
}

void TWinshoeSocket::WriteText(const std::string& text) {
    if (text.empty()) {
        return;
    }
    if (!Connected()) {
        throw EWinshoeClosedSocket();
    }
    std::size_t sent = 0;
    while (sent < text.size()) {
        const TSocket handle = BeginSocketCall();
        if (handle == InvalidSocket) {
            throw EWinshoeClosedSocket();
        }
        const ssize_t result =
            GWinsockInterface().Send(handle, text.data() + sent, text.size() - sent, 0);
        const int errorCode = result < 0 ? GWinsockInterface().WSAGetLastError() : 0;
        if (EndSocketCall(handle)) {
            throw EWinshoeSocketError(WSAEINTR);
        }
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

std::int16_t TWinshoeSocket::ReadReply() {
    FReplyLines.clear();
    auto readNonEmptyLine = [this] {
        std::string line;
        do {
            line = Trim(ReadLine());
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
    try {
        ReportStatus("Disconnected");
    } catch (...) {
    }
}
