#include "pop3/WinsockIntf.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <unistd.h>

namespace {

// How Linux reports a failure, and the Winsock code the client shows for it. This is the only
// place where platform errors become Winsock codes.
enum class TErrorSource { Errno, NameLookup };

struct TErrorMapping {
    TErrorSource Source;
    int Value;
    int Code;
};

constexpr TErrorMapping ErrorMappings[] = {
    {TErrorSource::Errno, EINTR, 10004},
    {TErrorSource::Errno, EBADF, 10009},
    {TErrorSource::Errno, EACCES, 10013},
    {TErrorSource::Errno, EPERM, 10013},
    {TErrorSource::Errno, EFAULT, 10014},
    {TErrorSource::Errno, EINVAL, 10022},
    {TErrorSource::Errno, EMFILE, 10024},
    {TErrorSource::Errno, ENFILE, 10024},
    {TErrorSource::Errno, EWOULDBLOCK, 10035},
    {TErrorSource::Errno, EINPROGRESS, 10036},
    {TErrorSource::Errno, EALREADY, 10037},
    {TErrorSource::Errno, ENOTSOCK, 10038},
    {TErrorSource::Errno, EDESTADDRREQ, 10039},
    {TErrorSource::Errno, EMSGSIZE, 10040},
    {TErrorSource::Errno, EPROTOTYPE, 10041},
    {TErrorSource::Errno, ENOPROTOOPT, 10042},
    {TErrorSource::Errno, EPROTONOSUPPORT, 10043},
    {TErrorSource::Errno, ESOCKTNOSUPPORT, 10044},
    {TErrorSource::Errno, EOPNOTSUPP, 10045},
    {TErrorSource::Errno, EPFNOSUPPORT, 10046},
    {TErrorSource::Errno, EAFNOSUPPORT, 10047},
    {TErrorSource::Errno, EADDRINUSE, 10048},
    {TErrorSource::Errno, EADDRNOTAVAIL, 10049},
    {TErrorSource::Errno, ENETDOWN, 10050},
    {TErrorSource::Errno, ENETUNREACH, 10051},
    {TErrorSource::Errno, ENETRESET, 10052},
    {TErrorSource::Errno, ECONNABORTED, 10053},
    {TErrorSource::Errno, ECONNRESET, 10054},
    {TErrorSource::Errno, ENOBUFS, 10055},
    {TErrorSource::Errno, ENOMEM, 10055},
    {TErrorSource::Errno, EISCONN, 10056},
    {TErrorSource::Errno, ENOTCONN, 10057},
    // Linux answers a send after a shutdown, or on a connection the peer has torn down, with
    // EPIPE; Winsock calls that "shut down".
    {TErrorSource::Errno, EPIPE, 10058},
    {TErrorSource::Errno, ESHUTDOWN, 10058},
    {TErrorSource::Errno, ETOOMANYREFS, 10059},
    {TErrorSource::Errno, ETIMEDOUT, 10060},
    {TErrorSource::Errno, ECONNREFUSED, 10061},
    {TErrorSource::Errno, ELOOP, 10062},
    {TErrorSource::Errno, ENAMETOOLONG, 10063},
    {TErrorSource::Errno, EHOSTDOWN, 10064},
    {TErrorSource::Errno, EHOSTUNREACH, 10065},
    {TErrorSource::Errno, ENOTEMPTY, 10066},
    {TErrorSource::Errno, EUSERS, 10068},
    {TErrorSource::Errno, EDQUOT, 10069},
    {TErrorSource::Errno, ESTALE, 10070},
    {TErrorSource::Errno, EREMOTE, 10071},
    {TErrorSource::NameLookup, EAI_NONAME, 11001},
    {TErrorSource::NameLookup, EAI_AGAIN, 11002},
    {TErrorSource::NameLookup, EAI_FAIL, 11003},
    {TErrorSource::NameLookup, EAI_NODATA, 11004},
    {TErrorSource::NameLookup, EAI_ADDRFAMILY, 11004},
    {TErrorSource::NameLookup, EAI_FAMILY, 10047},
    {TErrorSource::NameLookup, EAI_MEMORY, 10055},
    {TErrorSource::NameLookup, EAI_SERVICE, 10022},
    {TErrorSource::NameLookup, EAI_SOCKTYPE, 10044},
    {TErrorSource::NameLookup, EAI_BADFLAGS, 10022},
};

struct TErrorText {
    int Code;
    const char* Text;
};

constexpr TErrorText ErrorTexts[] = {
    {10004, "Interrupted system call."},
    {10009, "Bad file number."},
    {10013, "Access denied."},
    {10014, "Bad address."},
    {10022, "Invalid argument."},
    {10024, "Too many open files."},
    {10035, "Operation would block. "},
    {10036, "Operation now in progress."},
    {10037, "Operation already in progress."},
    {10038, "Socket operation on non-socket."},
    {10039, "Destination address required."},
    {10040, "Message too long."},
    {10041, "Protocol wrong type for socket."},
    {10042, "Bad protocol option."},
    {10043, "Protocol not supported."},
    {10044, "Socket type not supported."},
    {10045, "Operation not supported on socket."},
    {10046, "Protocol family not supported."},
    {10047, "Address family not supported by protocol family."},
    {10048, "Address already in use."},
    {10049, "Can't assign requested address."},
    {10050, "Network is down."},
    {10051, "Network is unreachable."},
    {10052, "Net dropped connection or reset."},
    {10053, "Software caused connection abort."},
    {10054, "Connection reset by peer."},
    {10055, "No buffer space available."},
    {10056, "Socket is already connected."},
    {10057, "Socket is not connected."},
    {10058, "Cannot send or receive after socket is closed."},
    {10059, "Too many references, can't splice."},
    {10060, "Connection timed out."},
    {10061, "Connection refused."},
    {10062, "Too many levels of symbolic links."},
    {10063, "File name too long."},
    {10064, "Host is down."},
    {10065, "No route to host."},
    {10066, "Directory not empty"},
    {10067, "Too many processes."},
    {10068, "Too many users."},
    {10069, "Disk Quota Exceeded."},
    {10070, "Stale NFS file handle."},
    {10071, "Too many levels of remote in path."},
    {10091, "Network subsystem is unavailable."},
    {10092, "WINSOCK DLL Version out of range."},
    {10093, "Winsock not loaded yet."},
    {11001, "Host not found."},
    {11002, "Non-authoritative response (try again or check DNS setup)."},
    {11003, "Non-recoverable errors: FORMERR, REFUSED, NOTIMP."},
    {11004, "Valid name, no data record (check DNS setup)."},
};

int MapError(TErrorSource source, int value) {
    for (const TErrorMapping& mapping : ErrorMappings) {
        if (mapping.Source == source && mapping.Value == value) {
            return mapping.Code;
        }
    }
    return -1;
}

thread_local int LastError = 0;

// Stores the code for the errno of the call that just failed and passes its result on.
template <typename T> T Checked(T result) {
    if (result < 0) {
        LastError = WinsockCodeFromErrno(errno);
    }
    return result;
}

} // namespace

int WinsockCodeFromErrno(int errnoValue) {
    const int code = MapError(TErrorSource::Errno, errnoValue);
    return code >= 0 ? code : UnmappedErrorBase + errnoValue;
}

int WinsockCodeFromLookup(int getAddrInfoResult) {
    if (getAddrInfoResult == EAI_SYSTEM) {
        return WinsockCodeFromErrno(errno);
    }
    const int code = MapError(TErrorSource::NameLookup, getAddrInfoResult);
    return code >= 0 ? code : WSAHOST_NOT_FOUND;
}

std::string WinsockErrorText(int errorCode) {
    for (const TErrorText& entry : ErrorTexts) {
        if (entry.Code == errorCode) {
            return entry.Text;
        }
    }
    return {};
}

// Linux needs no start-up call; the version check of Winsock 1.1 cannot fail here.
TWinsockIntf11::TWinsockIntf11() = default;

int TWinsockIntf11::Connect(TSocket s, const sockaddr_in& address) {
    return Checked(::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int TWinsockIntf11::GetHostByAddr(const in_addr& address, std::string& hostName) {
    sockaddr_in socketAddress{};
    socketAddress.sin_family = AF_INET;
    socketAddress.sin_addr = address;
    char name[NI_MAXHOST];
    const int result =
        ::getnameinfo(reinterpret_cast<const sockaddr*>(&socketAddress), sizeof socketAddress, name,
                      sizeof name, nullptr, 0, NI_NAMEREQD);
    if (result != 0) {
        LastError = WinsockCodeFromLookup(result);
        return SocketError;
    }
    hostName = name;
    return 0;
}

std::uint16_t TWinsockIntf11::HToNS(std::uint16_t value) {
    return htons(value);
}

std::uint16_t TWinsockIntf11::NToHS(std::uint16_t value) {
    return ntohs(value);
}

std::uint32_t TWinsockIntf11::Inet_Addr(const std::string& text) {
    return ::inet_addr(text.c_str());
}

int TWinsockIntf11::GetHostName(std::string& hostName) {
    char name[256] = {};
    if (Checked(::gethostname(name, sizeof name - 1)) < 0) {
        return SocketError;
    }
    hostName = name;
    return 0;
}

int TWinsockIntf11::GetHostByName(const std::string& hostName, in_addr& address) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int result = ::getaddrinfo(hostName.c_str(), nullptr, &hints, &found);
    if (result != 0) {
        LastError = WinsockCodeFromLookup(result);
        return SocketError;
    }
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr != nullptr) {
            address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr;
            ::freeaddrinfo(found);
            return 0;
        }
    }
    ::freeaddrinfo(found);
    LastError = 11004;
    return SocketError;
}

std::string TWinsockIntf11::TranslateSocketErrorMsg(int errorCode) {
    return "Socket Error #" + std::to_string(errorCode) + "\r\n" + WinsockErrorText(errorCode);
}

int TWinsockIntf11::WSAGetLastError() {
    return LastError;
}

ssize_t TWinsockIntf11::Recv(TSocket s, void* buffer, std::size_t length, int flags) {
    ssize_t result;
    do {
        result = ::recv(s, buffer, length, flags);
    } while (result < 0 && errno == EINTR);
    return Checked(result);
}

ssize_t TWinsockIntf11::RecvFrom(TSocket s, void* buffer, std::size_t length, int flags,
                                 sockaddr_in* from) {
    socklen_t fromLength = sizeof(sockaddr_in);
    return Checked(::recvfrom(s, buffer, length, flags, reinterpret_cast<sockaddr*>(from),
                              from != nullptr ? &fromLength : nullptr));
}

int TWinsockIntf11::Select(int count, fd_set* readSet, fd_set* writeSet, fd_set* exceptSet,
                           timeval* timeout) {
    return Checked(::select(count, readSet, writeSet, exceptSet, timeout));
}

// MSG_NOSIGNAL: a send on a connection the peer has dropped must fail like any other call
// rather than end the process with SIGPIPE.
ssize_t TWinsockIntf11::Send(TSocket s, const void* buffer, std::size_t length, int flags) {
    ssize_t result;
    do {
        result = ::send(s, buffer, length, flags | MSG_NOSIGNAL);
    } while (result < 0 && errno == EINTR);
    return Checked(result);
}

ssize_t TWinsockIntf11::SendTo(TSocket s, const void* buffer, std::size_t length, int flags,
                               const sockaddr_in& to) {
    return Checked(::sendto(s, buffer, length, flags | MSG_NOSIGNAL,
                            reinterpret_cast<const sockaddr*>(&to), sizeof to));
}

int TWinsockIntf11::SetSockOpt(TSocket s, int level, int option, const void* value,
                               socklen_t length) {
    return Checked(::setsockopt(s, level, option, value, length));
}

std::string TWinsockIntf11::Inet_Ntoa(const in_addr& address) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

int TWinsockIntf11::Listen(TSocket s, int backlog) {
    return Checked(::listen(s, backlog));
}

TSocket TWinsockIntf11::Accept(TSocket s, sockaddr_in* peer) {
    socklen_t peerLength = sizeof(sockaddr_in);
    return Checked(::accept4(s, reinterpret_cast<sockaddr*>(peer),
                             peer != nullptr ? &peerLength : nullptr, SOCK_CLOEXEC));
}

int TWinsockIntf11::Bind(TSocket s, const sockaddr_in& address) {
    return Checked(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address));
}

int TWinsockIntf11::CloseSocket(TSocket s) {
    return Checked(::close(s));
}

// Close-on-exec, so that a program the user starts (the e-mail client) never inherits a
// connection of the mail check.
TSocket TWinsockIntf11::Socket(int family, int type, int protocol) {
    return Checked(::socket(family, type | SOCK_CLOEXEC, protocol));
}

int TWinsockIntf11::WSACancelBlockingCall() {
    LastError = 10045;
    return SocketError;
}

int TWinsockIntf11::Shutdown(TSocket s, int how) {
    return Checked(::shutdown(s, how));
}

int TWinsockIntf11::ConnectAddress(TSocket s, const sockaddr* address, socklen_t length) {
    return Checked(::connect(s, address, length));
}

int TWinsockIntf11::Poll(TSocket s, short events, int timeoutMillis) {
    pollfd entry{s, events, 0};
    int result;
    do {
        result = ::poll(&entry, 1, timeoutMillis);
    } while (result < 0 && errno == EINTR);
    if (Checked(result) <= 0) {
        return result;
    }
    return entry.revents;
}

int TWinsockIntf11::SetBlocking(TSocket s, bool blocking) {
    const int flags = ::fcntl(s, F_GETFL);
    if (Checked(flags) < 0) {
        return SocketError;
    }
    return Checked(::fcntl(s, F_SETFL, blocking ? flags & ~O_NONBLOCK : flags | O_NONBLOCK));
}

int TWinsockIntf11::PendingError(TSocket s) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, &error, &length) < 0) {
        return WinsockCodeFromErrno(errno);
    }
    return error == 0 ? 0 : WinsockCodeFromErrno(error);
}

int ResolveHostAddresses(const std::string& host, bool numericOnly,
                         std::vector<TResolvedAddress>& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = numericOnly ? AI_NUMERICHOST : 0;
    addrinfo* answer = nullptr;
    const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &answer);
    if (result != 0) {
        return WinsockCodeFromLookup(result);
    }
    found.clear();
    for (const addrinfo* entry = answer; entry != nullptr; entry = entry->ai_next) {
        if ((entry->ai_family == AF_INET || entry->ai_family == AF_INET6) &&
            entry->ai_addr != nullptr && entry->ai_addrlen <= sizeof(sockaddr_storage)) {
            TResolvedAddress address;
            std::memcpy(&address.Address, entry->ai_addr, entry->ai_addrlen);
            address.Length = entry->ai_addrlen;
            found.push_back(address);
        }
    }
    ::freeaddrinfo(answer);
    return found.empty() ? 11004 : 0;
}

int TWinsockIntf11::ResolveHost(const std::string& host, bool numericOnly,
                                std::vector<TResolvedAddress>& found) {
    return ResolveHostAddresses(host, numericOnly, found);
}

std::string TWinsockIntf11::AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET6) {
        ::inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
                    sizeof text);
    } else if (address->sa_family == AF_INET) {
        ::inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text,
                    sizeof text);
    }
    return text;
}

TWinsockIntfBase& GWinsockInterface() {
    static TWinsockIntf11 Interface;
    return Interface;
}

namespace {
// Created while the program starts, before any thread of the program's own exists.
[[maybe_unused]] const TWinsockIntfBase& StartUpInterface = GWinsockInterface();
} // namespace
