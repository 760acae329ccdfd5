#pragma once

// The socket binding: one process-wide object through which the client reaches the platform's
// socket layer, with Winsock's operations and Winsock's error codes. On Linux every failing call
// stores the Winsock code that corresponds to its errno (or getaddrinfo result) for the calling
// thread; WSAGetLastError returns it. TranslateSocketErrorMsg gives the user-facing text of a
// code ("Socket Error #", the code, CR LF, the code's text; nothing after the CR LF for a code
// without a text). Nothing here throws except the constructor ("Winsock Initialization Error.").

#include <cstdint>
#include <string>
#include <vector>

#include <netinet/in.h>
#include <sys/select.h>
#include <sys/socket.h>
#include <sys/types.h>

using TSocket = int;
inline constexpr TSocket InvalidSocket = -1;
inline constexpr int SocketError = -1;

// Winsock codes the client produces itself.
inline constexpr int WSAEINTR = 10004;     // a blocking call ended by CloseSocket
inline constexpr int WSAENOTSOCK = 10038;  // a call on a handle that is no longer open
inline constexpr int WSAESHUTDOWN = 10058; // send or receive after the socket was shut down
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAHOST_NOT_FOUND = 11001;

inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSATRY_AGAIN = 11002;
inline constexpr int WSANO_DATA = 11004; // the name exists, but has no record of the kind asked

// One address a host name stands for, ready for connect.
struct TResolvedAddress {
    sockaddr_storage Address{};
    socklen_t Length = 0;

    int Family() const { return Address.ss_family; }
    const sockaddr* SocketAddress() const { return reinterpret_cast<const sockaddr*>(&Address); }
};

// Codes for errno values that Winsock has no code for are offset by this, outside every range
// Winsock uses, so that such a code never borrows another code's text.
inline constexpr int UnmappedErrorBase = 20000;

class TWinsockIntfBase {
public:
    virtual ~TWinsockIntfBase() = default;

    virtual int Connect(TSocket s, const sockaddr_in& address) = 0;
    virtual int GetHostByAddr(const in_addr& address, std::string& hostName) = 0;
    virtual std::uint16_t HToNS(std::uint16_t value) = 0;
    virtual std::uint16_t NToHS(std::uint16_t value) = 0;
    // All bits set when the text is not a dotted address.
    virtual std::uint32_t Inet_Addr(const std::string& text) = 0;
    virtual int GetHostName(std::string& hostName) = 0;
    // IPv4 only; the first address of the answer. SocketError when nothing was found.
    virtual int GetHostByName(const std::string& hostName, in_addr& address) = 0;
    virtual std::string TranslateSocketErrorMsg(int errorCode) = 0;
    virtual int WSAGetLastError() = 0;
    virtual ssize_t Recv(TSocket s, void* buffer, std::size_t length, int flags) = 0;
    virtual ssize_t RecvFrom(TSocket s, void* buffer, std::size_t length, int flags,
                             sockaddr_in* from) = 0;
    virtual int Select(int count, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet,
                       timeval* timeout) = 0;
    virtual ssize_t Send(TSocket s, const void* buffer, std::size_t length, int flags) = 0;
    virtual ssize_t SendTo(TSocket s, const void* buffer, std::size_t length, int flags,
                           const sockaddr_in& to) = 0;
    virtual int SetSockOpt(TSocket s, int level, int option, const void* value,
                           socklen_t length) = 0;
    virtual std::string Inet_Ntoa(const in_addr& address) = 0;
    virtual int Listen(TSocket s, int backlog) = 0;
    virtual TSocket Accept(TSocket s, sockaddr_in* peer) = 0;
    virtual int Bind(TSocket s, const sockaddr_in& address) = 0;
    virtual int CloseSocket(TSocket s) = 0;
    virtual TSocket Socket(int family, int type, int protocol) = 0;
    virtual int WSACancelBlockingCall() = 0;
    // Ends the connection in both directions and wakes every call blocked on the socket,
    // without releasing the handle.
    virtual int Shutdown(TSocket s, int how) = 0;

    // Beyond Winsock 1.1: what the transport needs for IPv6, several addresses and bounded
    // waits. Each stores its failure code like the calls above, except ResolveHost.
    virtual int ConnectAddress(TSocket s, const sockaddr* address, socklen_t length) = 0;
    // The events of interest that occurred (POLLIN, POLLOUT, POLLHUP, POLLERR), 0 when the time
    // ran out (a negative time waits without end), SocketError on failure.
    virtual int Poll(TSocket s, short events, int timeoutMillis) = 0;
    virtual int SetBlocking(TSocket s, bool blocking) = 0;
    // The Winsock code of the error pending on the socket (a finished non-blocking connect), 0
    // for none.
    virtual int PendingError(TSocket s) = 0;
    // Every stream address of a host name or address literal, in the system's preferred order,
    // IPv6 and IPv4. Blocks as long as the system's resolver does. Returns 0, or the Winsock
    // code of the failure (it does not touch WSAGetLastError, so it may run on any thread).
    virtual int ResolveHost(const std::string& host, bool numericOnly,
                            std::vector<TResolvedAddress>& found) = 0;
    // An IPv4 or IPv6 address as text ("192.0.2.1", "2001:db8::1").
    virtual std::string AddressText(const sockaddr* address) = 0;
};

class TWinsockIntf11 : public TWinsockIntfBase {
public:
    TWinsockIntf11();

    int Connect(TSocket s, const sockaddr_in& address) override;
    int GetHostByAddr(const in_addr& address, std::string& hostName) override;
    std::uint16_t HToNS(std::uint16_t value) override;
    std::uint16_t NToHS(std::uint16_t value) override;
    std::uint32_t Inet_Addr(const std::string& text) override;
    int GetHostName(std::string& hostName) override;
    int GetHostByName(const std::string& hostName, in_addr& address) override;
    std::string TranslateSocketErrorMsg(int errorCode) override;
    int WSAGetLastError() override;
    ssize_t Recv(TSocket s, void* buffer, std::size_t length, int flags) override;
    ssize_t RecvFrom(TSocket s, void* buffer, std::size_t length, int flags,
                     sockaddr_in* from) override;
    int Select(int count, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet,
               timeval* timeout) override;
    ssize_t Send(TSocket s, const void* buffer, std::size_t length, int flags) override;
    ssize_t SendTo(TSocket s, const void* buffer, std::size_t length, int flags,
                   const sockaddr_in& to) override;
    int SetSockOpt(TSocket s, int level, int option, const void* value, socklen_t length) override;
    std::string Inet_Ntoa(const in_addr& address) override;
    int Listen(TSocket s, int backlog) override;
    TSocket Accept(TSocket s, sockaddr_in* peer) override;
    int Bind(TSocket s, const sockaddr_in& address) override;
    int CloseSocket(TSocket s) override;
    TSocket Socket(int family, int type, int protocol) override;
    int WSACancelBlockingCall() override;
    int Shutdown(TSocket s, int how) override;
    int ConnectAddress(TSocket s, const sockaddr* address, socklen_t length) override;
    int Poll(TSocket s, short events, int timeoutMillis) override;
    int SetBlocking(TSocket s, bool blocking) override;
    int PendingError(TSocket s) override;
    int ResolveHost(const std::string& host, bool numericOnly,
                    std::vector<TResolvedAddress>& found) override;
    std::string AddressText(const sockaddr* address) override;
};

// The Winsock code for a Linux errno value, and for a getaddrinfo result.
int WinsockCodeFromErrno(int errnoValue);
int WinsockCodeFromLookup(int getAddrInfoResult);

// ResolveHost of the binding as a plain function: a lookup thread that outlives the program's
// end must not use the binding object, which is destroyed then.
int ResolveHostAddresses(const std::string& host, bool numericOnly,
                         std::vector<TResolvedAddress>& found);

// The text after the CR LF of the error message, empty for a code without one.
std::string WinsockErrorText(int errorCode);

// The single binding all clients use.
TWinsockIntfBase& GWinsockInterface();
