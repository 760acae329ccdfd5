#include "pop3/WinshoeClient.h"

#include <algorithm>
#include <cctype>

#include <arpa/inet.h>
#include <netinet/tcp.h>

#include "pop3/WinshoeExceptions.h"

namespace {

bool IsLocalHost(const std::string& host) {
    static const std::string LocalHost = "LOCALHOST";
    return host.size() == LocalHost.size() &&
           std::equal(host.begin(), host.end(), LocalHost.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == b;
           });
}

} // namespace

TWinshoeClient::TWinshoeClient() = default;

TWinshoeClient::~TWinshoeClient() {
    if (Connected()) {
        Disconnect();
    }
    SetOnStatus(nullptr);
}

in_addr TWinshoeClient::LookUpHost(const std::string& host) {
    TWinsockIntfBase& winsock = GWinsockInterface();
    in_addr address{};
    if (IsLocalHost(host)) {
        address.s_addr = htonl(INADDR_LOOPBACK);
        SetPeerAddress("127.0.0.1");
        return address;
    }
    address.s_addr = winsock.Inet_Addr(host);
    if (address.s_addr != INADDR_NONE) {
        SetPeerAddress(host);
        return address;
    }
    const int result = winsock.GetHostByName(host, address);
    CheckSocketResult(result, result == SocketError ? winsock.WSAGetLastError() : 0);
    SetPeerAddress(winsock.Inet_Ntoa(address));
    return address;
}

void TWinshoeClient::Connect() {
    if (Connected()) {
        throw EWinshoeAlreadyConnected();
    }
    ReportStatus("Connecting to " + FHost);
    ResetBuffer();
    CreateSocket();
    try {
        TWinsockIntfBase& winsock = GWinsockInterface();
        if (!UseNagle()) {
            const int noDelay = 1;
            const TSocket handle = BeginSocketCall();
            if (handle == InvalidSocket) {
                throw EWinshoeSocketError(WSAENOTSOCK);
            }
            const int result =
                winsock.SetSockOpt(handle, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);
            const int errorCode = result == SocketError ? winsock.WSAGetLastError() : 0;
            EndSocketCall(handle);
            CheckSocketResult(result, errorCode);
        }

        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = winsock.HToNS(static_cast<std::uint16_t>(Port() & 0xFFFF));
        address.sin_addr = LookUpHost(FHost);

        const TSocket handle = BeginSocketCall();
        if (handle == InvalidSocket) {
            throw EWinshoeSocketError(WSAENOTSOCK);
        }
        const int result = winsock.Connect(handle, address);
        const int errorCode = result == SocketError ? winsock.WSAGetLastError() : 0;
        if (EndSocketCall(handle)) {
            throw EWinshoeSocketError(WSAEINTR);
        }
        CheckSocketResult(result, errorCode);
        ReportStatus("Socket Connected");
        SetPeerClosed(false);
    } catch (...) {
        Disconnect();
        throw;
    }
}
