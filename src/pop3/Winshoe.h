#pragma once

// TWinshoe: the root of the client classes. It owns the socket handle and its lifetime.
//
// Connected() and CloseSocket() may be called from any thread at any moment; everything else
// belongs to the one thread that runs the session. CloseSocket() makes Connected() false at
// once on every thread and makes a connect, recv or send blocked on the socket return at once;
// the descriptor itself is released only when no call can still use it, so a descriptor number
// that the system hands out again is never touched by a late call.

#include <atomic>
#include <mutex>
#include <string>

#include "pop3/WinsockIntf.h"

class TWinshoe {
public:
    TWinshoe();
    virtual ~TWinshoe();
    TWinshoe(const TWinshoe&) = delete;
    TWinshoe& operator=(const TWinshoe&) = delete;

    int Port() const { return FPort; }
    void SetPort(int port) { FPort = port; }
    const std::string& BoundIP() const { return FBoundIP; }
    void SetBoundIP(const std::string& boundIP) { FBoundIP = boundIP; }

    // Any thread. Invalidates the handle first, then wakes and releases the socket. No status
    // text, no protocol command; the receive buffer is left alone.
    virtual void CloseSocket();
    // Any thread. True while the socket handle is valid.
    virtual bool Connected() const;
    virtual void Disconnect();

protected:
    // Closes a still valid handle, then creates a fresh stream socket. Throws
    // EWinshoeInvalidSocket when the system refuses one.
    virtual void CreateSocket();

    // Every platform call on the socket is bracketed by these two. BeginSocketCall returns the
    // handle to use, or InvalidSocket when the socket is closed. EndSocketCall returns true when
    // CloseSocket ran while the call was under way, so that its outcome must be discarded.
    TSocket BeginSocketCall();
    bool EndSocketCall(TSocket handle);

private:
    int FPort = 0;
    std::string FBoundIP;

    mutable std::mutex FSocketLock;
    std::atomic<TSocket> FSocket{InvalidSocket};
    int FCallsUnderWay = 0;
    TSocket FClosedInUse = InvalidSocket;
};
