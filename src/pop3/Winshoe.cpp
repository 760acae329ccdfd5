#include "pop3/Winshoe.h"

#include <sys/socket.h>

#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoeStream.h"

TWinshoe::TWinshoe() = default;

TWinshoe::~TWinshoe() {
    CloseSocket();
}

bool TWinshoe::Connected() const {
    return FOpen.load();
}

// Closing a descriptor on Linux does not wake a thread blocked on it, and its number may be
// handed to the next file opened anywhere in the process. So a socket in use is only shut down
// here (which ends every blocked call on it) and released by the last call that leaves it.
void TWinshoe::CloseSocket() {
    std::lock_guard lock(FSocketLock);
    if (!FOpen.exchange(false)) {
        return;
    }
    if (FInterrupt) {
        FInterrupt();
        FInterrupt = nullptr;
    }
    const TSocket handle = FSocket.exchange(InvalidSocket);
    if (handle == InvalidSocket) {
        return;
    }
    if (FCallsUnderWay > 0) {
        GWinsockInterface().Shutdown(handle, SHUT_RDWR);
        FClosedInUse = handle;
    } else {
        GWinsockInterface().CloseSocket(handle);
    }
}

void TWinshoe::Disconnect() {
    CloseSocket();
    ReleaseStream();
}

void TWinshoe::CreateSocket() {
    if (Connected()) {
        CloseSocket();
    }
    ReleaseStream();
    const TSocket handle = GWinsockInterface().Socket(AF_INET, SOCK_STREAM, 0);
    if (handle == InvalidSocket) {
        throw EWinshoeInvalidSocket();
    }
    std::lock_guard lock(FSocketLock);
    FSocket.store(handle);
    FOpen.store(true);
}

void TWinshoe::ReplaceSocket(int family) {
    {
        std::lock_guard lock(FSocketLock);
        if (!FOpen.load()) {
            throw EWinshoeSocketError(WSAEINTR);
        }
        // Only the session thread makes calls, and it is here: none is under way.
        const TSocket old = FSocket.exchange(InvalidSocket);
        if (old != InvalidSocket) {
            GWinsockInterface().CloseSocket(old);
        }
    }
    const TSocket handle = GWinsockInterface().Socket(family, SOCK_STREAM, 0);
    if (handle == InvalidSocket) {
        throw EWinshoeInvalidSocket();
    }
    std::lock_guard lock(FSocketLock);
    if (!FOpen.load()) {
        GWinsockInterface().CloseSocket(handle);
        throw EWinshoeSocketError(WSAEINTR);
    }
    FSocket.store(handle);
}

void TWinshoe::OpenStream(std::shared_ptr<IWinshoeStream> stream) {
    if (Connected()) {
        CloseSocket();
    }
    std::lock_guard lock(FSocketLock);
    FStream = std::move(stream);
    FOpen.store(FStream != nullptr);
}

void TWinshoe::ReleaseStream() {
    std::lock_guard lock(FSocketLock);
    if (!FOpen.load()) {
        FStream.reset();
    }
}

TSocket TWinshoe::BeginSocketCall() {
    std::lock_guard lock(FSocketLock);
    const TSocket handle = FOpen.load() ? FSocket.load() : InvalidSocket;
    if (handle != InvalidSocket) {
        ++FCallsUnderWay;
    }
    return handle;
}

bool TWinshoe::EndSocketCall(TSocket handle) {
    std::lock_guard lock(FSocketLock);
    --FCallsUnderWay;
    const bool closedUnderCall = !FOpen.load() || FSocket.load() != handle;
    if (FCallsUnderWay == 0 && FClosedInUse != InvalidSocket) {
        GWinsockInterface().CloseSocket(FClosedInUse);
        FClosedInUse = InvalidSocket;
    }
    return closedUnderCall;
}

bool TWinshoe::SetInterrupt(std::function<void()> handler) {
    std::lock_guard lock(FSocketLock);
    if (!FOpen.load()) {
        return false;
    }
    FInterrupt = std::move(handler);
    return true;
}

void TWinshoe::ClearInterrupt() {
    std::lock_guard lock(FSocketLock);
    FInterrupt = nullptr;
}
