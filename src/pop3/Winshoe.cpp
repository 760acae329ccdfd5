#include "pop3/Winshoe.h"

#include <sys/socket.h>

#include "pop3/WinshoeExceptions.h"

TWinshoe::TWinshoe() = default;

TWinshoe::~TWinshoe() {
    CloseSocket();
}

bool TWinshoe::Connected() const {
    return FSocket.load() != InvalidSocket;
}

// Closing a descriptor on Linux does not wake a thread blocked on it, and its number may be
// handed to the next file opened anywhere in the process. So a socket in use is only shut down
// here (which ends every blocked call on it) and released by the last call that leaves it.
void TWinshoe::CloseSocket() {
    std::lock_guard lock(FSocketLock);
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
}

void TWinshoe::CreateSocket() {
    if (Connected()) {
        CloseSocket();
    }
    const TSocket handle = GWinsockInterface().Socket(AF_INET, SOCK_STREAM, 0);
    if (handle == InvalidSocket) {
        throw EWinshoeInvalidSocket();
    }
    std::lock_guard lock(FSocketLock);
    FSocket.store(handle);
}

TSocket TWinshoe::BeginSocketCall() {
    std::lock_guard lock(FSocketLock);
    const TSocket handle = FSocket.load();
    if (handle != InvalidSocket) {
        ++FCallsUnderWay;
    }
    return handle;
}

bool TWinshoe::EndSocketCall(TSocket handle) {
    std::lock_guard lock(FSocketLock);
    --FCallsUnderWay;
    const bool closedUnderCall = FSocket.load() != handle;
    if (FCallsUnderWay == 0 && FClosedInUse != InvalidSocket) {
        GWinsockInterface().CloseSocket(FClosedInUse);
        FClosedInUse = InvalidSocket;
    }
    return closedUnderCall;
}
