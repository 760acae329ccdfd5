#pragma once

// TWinshoe: the root of the client classes. It owns the connection's lifetime: the socket handle,
// or an in-memory stream standing in for it (see WinshoeStream.h), and any wait that a
// connection attempt makes before it has a socket to block on (the name lookup).
//
// Connected() and CloseSocket() may be called from any thread at any moment; everything else
// belongs to the one thread that runs the session. CloseSocket() makes Connected() false at
// once on every thread and makes a lookup, connect, recv, send or poll under way return at once;
// the descriptor itself is released only when no call can still use it, so a descriptor number
// that the system hands out again is never touched by a late call.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "pop3/WinsockIntf.h"

class IWinshoeStream;

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

    // Any thread. Invalidates the connection first, then ends any wait under way (see
    // SetInterrupt) and wakes and releases the socket. No status text, no protocol command; the
    // receive buffer is left alone.
    virtual void CloseSocket();
    // Any thread. True from CreateSocket (or OpenStream) until the connection is closed.
    virtual bool Connected() const;
    virtual void Disconnect();

protected:
    // Closes a connection still open, then opens a new one with a fresh IPv4 stream socket.
    // Throws EWinshoeInvalidSocket when the system refuses one (the client stays closed).
    virtual void CreateSocket();
    // Replaces the socket of the open connection by a fresh one of the given address family, for
    // another connection attempt. Throws EWinshoeSocketError(WSAEINTR) when the connection was
    // closed meanwhile, EWinshoeInvalidSocket when the system refuses a socket.
    void ReplaceSocket(int family);
    // Opens the connection on an in-memory stream instead of a socket.
    void OpenStream(std::shared_ptr<IWinshoeStream> stream);
    // The stream of the open connection, or null when it runs on a socket (session thread).
    IWinshoeStream* Stream() const { return FStream.get(); }
    // Session thread: drops the stream of a closed connection.
    void ReleaseStream();

    // Every platform call on the socket is bracketed by these two. BeginSocketCall returns the
    // handle to use, or InvalidSocket when the connection is closed or has no socket.
    // EndSocketCall returns true when CloseSocket ran while the call was under way, so that its
    // outcome must be discarded.
    TSocket BeginSocketCall();
    bool EndSocketCall(TSocket handle);

    // A wait that CloseSocket must be able to end (a name lookup): CloseSocket calls the handler
    // once, under the connection's lock, so it must only signal. Returns false, without keeping
    // the handler, when the connection is closed already. ClearInterrupt forgets it.
    bool SetInterrupt(std::function<void()> handler);
    void ClearInterrupt();

private:
    int FPort = 0;
    std::string FBoundIP;

    mutable std::mutex FSocketLock;
    std::atomic<bool> FOpen{false};
    std::atomic<TSocket> FSocket{InvalidSocket};
    int FCallsUnderWay = 0;
    TSocket FClosedInUse = InvalidSocket;
    std::function<void()> FInterrupt;
    std::shared_ptr<IWinshoeStream> FStream;
};
