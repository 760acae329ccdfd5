#include "pop3/WinshoeClient.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <poll.h>

#include "platform/ProgramModule.h"
#include "pop3/PrintableText.h"
#include "pop3/TlsEngine.h"
#include "pop3/WinshoeExceptions.h"
#include "pop3/WinshoeStream.h"

namespace {

constexpr int WSAEINPROGRESS = 10036;

bool IsLocalHost(const std::string& host) {
    static const std::string LocalHost = "LOCALHOST";
    return host.size() == LocalHost.size() &&
           std::equal(host.begin(), host.end(), LocalHost.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == b;
           });
}

TResolvedAddress IPv4Address(in_addr address) {
    TResolvedAddress resolved;
    auto* ipv4 = reinterpret_cast<sockaddr_in*>(&resolved.Address);
    ipv4->sin_family = AF_INET;
    ipv4->sin_addr = address;
    resolved.Length = sizeof(sockaddr_in);
    return resolved;
}

// "[::1]" as users copy it from URLs, or "::1".
std::string WithoutBrackets(const std::string& host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        return host.substr(1, host.size() - 2);
    }
    return host;
}

void SetAddressPort(TResolvedAddress& address, std::uint16_t networkPort) {
    if (address.Family() == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&address.Address)->sin6_port = networkPort;
    } else {
        reinterpret_cast<sockaddr_in*>(&address.Address)->sin_port = networkPort;
    }
}

} // namespace

TWinshoeClient::TWinshoeClient() = default;

TWinshoeClient::~TWinshoeClient() {
    if (Connected()) {
        Disconnect();
    }
    SetOnStatus(nullptr);
}

std::vector<TResolvedAddress> TWinshoeClient::LookUpAddresses(const std::string& host) {
    TWinsockIntfBase& winsock = GWinsockInterface();
    in_addr address{};
    if (IsLocalHost(host)) {
        address.s_addr = htonl(INADDR_LOOPBACK);
        SetPeerAddress("127.0.0.1");
        return {IPv4Address(address)};
    }
    address.s_addr = winsock.Inet_Addr(host);
    if (address.s_addr != INADDR_NONE) {
        SetPeerAddress(host);
        return {IPv4Address(address)};
    }
    std::vector<TResolvedAddress> found;
    const std::string literal = WithoutBrackets(host);
    if (literal.find(':') != std::string::npos && winsock.ResolveHost(literal, true, found) == 0) {
        SetPeerAddress(host);
        return found;
    }

    const std::shared_ptr<THostLookup> lookup = THostLookup::Start(host, FResolver);
    if (!SetInterrupt([lookup] { lookup->Cancel(); })) {
        throw EWinshoeSocketError(WSAEINTR);
    }
    const bool answered = lookup->Wait();
    ClearInterrupt();
    if (!answered) {
        throw EWinshoeSocketError(WSAEINTR);
    }
    if (lookup->Result() != 0) {
        throw EWinshoeSocketError(lookup->Result());
    }
    return lookup->Addresses();
}

void TWinshoeClient::SwitchOffNagle() {
    TWinsockIntfBase& winsock = GWinsockInterface();
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

int TWinshoeClient::ConnectOnce(const TResolvedAddress& address, int limitMillis) {
    TWinsockIntfBase& winsock = GWinsockInterface();
    const TSocket handle = BeginSocketCall();
    if (handle == InvalidSocket) {
        throw EWinshoeSocketError(WSAENOTSOCK);
    }
    int errorCode = 0;
    if (limitMillis < 0) {
        if (winsock.ConnectAddress(handle, address.SocketAddress(), address.Length) ==
            SocketError) {
            errorCode = winsock.WSAGetLastError();
        }
    } else {
        winsock.SetBlocking(handle, false);
        if (winsock.ConnectAddress(handle, address.SocketAddress(), address.Length) ==
            SocketError) {
            errorCode = winsock.WSAGetLastError();
            if (errorCode == WSAEINPROGRESS) {
                const int events = winsock.Poll(handle, POLLOUT, limitMillis);
                errorCode = events == 0             ? WSAETIMEDOUT
                            : events == SocketError ? winsock.WSAGetLastError()
                                                    : winsock.PendingError(handle);
            }
        }
        winsock.SetBlocking(handle, true);
    }
    if (EndSocketCall(handle)) {
        throw EWinshoeSocketError(WSAEINTR);
    }
    return errorCode;
}

void TWinshoeClient::ConnectToAny(const std::vector<TResolvedAddress>& addresses) {
    const std::uint16_t port =
        GWinsockInterface().HToNS(static_cast<std::uint16_t>(Port() & 0xFFFF));
    int errorCode = WSAHOST_NOT_FOUND;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        TResolvedAddress address = addresses[i];
        SetAddressPort(address, port);
        // The socket made at the start is IPv4; any other attempt needs a fresh one.
        if (i > 0 || address.Family() != AF_INET) {
            ReplaceSocket(address.Family());
            if (!UseNagle()) {
                SwitchOffNagle();
            }
        }
        const bool last = i + 1 == addresses.size();
        errorCode = ConnectOnce(address, last ? -1 : FAddressConnectLimit);
        if (errorCode == 0) {
            if (PeerAddress().empty()) {
                SetPeerAddress(GWinsockInterface().AddressText(address.SocketAddress()));
            }
            return;
        }
    }
    throw EWinshoeSocketError(errorCode);
}

void TWinshoeClient::Connect() {
    if (Connected()) {
        throw EWinshoeAlreadyConnected();
    }
    ReportStatus("Connecting to " + FHost);
    FRefused.reset();
    ResetBuffer();
    SetPeerAddress({});
    if (FStreamFactory) {
        std::shared_ptr<IWinshoeStream> stream = FStreamFactory(FHost, Port());
        if (!stream) {
            throw EWinshoeSocketError(WSAECONNREFUSED);
        }
        OpenStream(std::move(stream));
    } else {
        CreateSocket();
    }
    try {
        if (Stream() == nullptr) {
            if (!UseNagle()) {
                SwitchOffNagle();
            }
            ConnectToAny(LookUpAddresses(FHost));
        }
        ReportStatus("Socket Connected");
        SetPeerClosed(false);
        if (FSecurity == TWinshoeSecurity::SSLTLS) {
            StartTLS();
        }
    } catch (...) {
        Disconnect();
        throw;
    }
}

void TWinshoeClient::RefuseUnsafeLogin() const {
    if (!SafeCommandLine(UserID())) {
        throw EWinshoeUnsafeCommand(
            "The login name contains a line break or NUL character; nothing was sent.");
    }
    if (!SafeCommandLine(Password())) {
        throw EWinshoeUnsafeCommand(
            "The password contains a line break or NUL character; nothing was sent.");
    }
}

void TWinshoeClient::RefuseTLSServer() {
    const bool tlsPort = FTLSPort != 0 && (Port() & 0xFFFF) == FTLSPort;
    if (!WaitForData(tlsPort ? FTLSPortGreetingWait : -1)) {
        throw EWinshoeTLSRequired();
    }
    // A TLS record starts with its content type (20 to 23) and the major version 3; a greeting
    // starts with text.
    const std::string_view first = PeekReceived();
    const auto type = static_cast<unsigned char>(first.front());
    if (type >= 20 && type <= 23 && (first.size() < 2 || first[1] == 3)) {
        throw EWinshoeTLSRequired();
    }
}

void TWinshoeClient::StartTLS(bool afterUpgrade) {
    // The name the certificate must carry: the host as typed, an address in its canonical form.
    std::string name = WithoutBrackets(FHost);
    bool addressLiteral = false;
    in_addr ipv4{};
    in6_addr ipv6{};
    if (!IsLocalHost(FHost) &&
        (ipv4.s_addr = GWinsockInterface().Inet_Addr(FHost)) != INADDR_NONE) {
        name = GWinsockInterface().Inet_Ntoa(ipv4);
        addressLiteral = true;
    } else if (::inet_pton(AF_INET6, name.c_str(), &ipv6) == 1) {
        addressLiteral = true;
    }
    const std::string pin = FTrusted && TrustedCertificateApplies(*FTrusted, FHost)
                                ? FTrusted->Fingerprint
                                : std::string();

    ITlsEngine* engine = nullptr;
    char error[256] = {};
    try {
        const auto create =
            platform::ModuleFunction<TTlsCreateEngine>(TlsModuleName, TlsCreateEngineSymbol);
        engine = create(name.c_str(), addressLiteral, pin.c_str(), error, sizeof error);
    } catch (const std::exception& e) {
        std::snprintf(error, sizeof error, "%s", e.what());
    }
    if (engine == nullptr) {
        throw EWinshoeTLSError(std::string("Secure connections are not available: ") + error);
    }
    try {
        NegotiateTLS(engine, FHost, afterUpgrade);
    } catch (const EWinshoeCertificateError& e) {
        FRefused = TTrustedCertificate{e.ServerName(), e.Fingerprint()};
        throw;
    }
    ReportStatus("Secure connection (" + SecureProtocol() + ")");
}
