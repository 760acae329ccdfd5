#pragma once

// TWinshoeClient: a TCP client that connects to Host() and Port(), over IPv4 or IPv6, in plain
// text or through TLS.
//
// Connect() throws EWinshoeAlreadyConnected when connected (the connection is left alone),
// EWinshoeInvalidSocket when no socket can be created, EWinshoeSocketError when the name lookup
// or the connection fails, and with Security() SSLTLS the errors of StartTLS(); each after it
// has disconnected (status texts "Disconnecting", "Disconnected"). Another thread may abort a
// Connect() under way with CloseSocket(), in every phase: the name lookup (which runs on a
// thread of its own and is abandoned, see HostLookup.h), the connection attempts and the
// handshake.
//
// Host forms: "LOCALHOST" in any letter case is 127.0.0.1 and a dotted IPv4 address is taken as
// it is, both without a lookup; so is an IPv6 literal ("::1", also in brackets). Any other name
// is looked up, and each of its addresses is tried in turn until one connects; every attempt but
// the last gives up after AddressConnectLimit() milliseconds, so that one unreachable address
// does not use up the check's whole time-out.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "pop3/HostLookup.h"
#include "pop3/TrustedCertificate.h"
#include "pop3/WinshoeSocket.h"

class IWinshoeStream;

// The stored values of the security choice: "0", "1", "2".
enum class TWinshoeSecurity { None = 0, SSLTLS = 1, STARTTLS = 2 };

class TWinshoeClient : public TWinshoeSocket {
public:
    using TStreamFactory =
        std::function<std::shared_ptr<IWinshoeStream>(const std::string& host, int port)>;

    static constexpr int DefaultAddressConnectLimit = 5000;

    TWinshoeClient();
    ~TWinshoeClient() override;

    const std::string& Host() const { return FHost; }
    void SetHost(const std::string& host) { FHost = host; }
    const std::string& UserID() const { return FUserID; }
    void SetUserID(const std::string& userID) { FUserID = userID; }
    const std::string& Password() const { return FPassword; }
    void SetPassword(const std::string& password) { FPassword = password; }

    // None: plain text, as the protocol was always spoken. SSLTLS: Connect() starts TLS at the
    // first byte. STARTTLS: the protocol class upgrades the connection itself (TWinshoePOP3).
    TWinshoeSecurity Security() const { return FSecurity; }
    void SetSecurity(TWinshoeSecurity security) { FSecurity = security; }
    // The stored trusted-certificate setting (see TrustedCertificate.h); empty or malformed text
    // trusts nothing beyond the system's trust store.
    void SetTrustedCertificate(const std::string& stored) {
        FTrusted = ParseTrustedCertificate(stored);
    }
    const std::optional<TTrustedCertificate>& TrustedCertificate() const { return FTrusted; }
    // The certificate the last Connect refused (server name and fingerprint, as
    // EWinshoeCertificateError carries them), for offering "trust this certificate" once the
    // check has ended; empty when the last Connect refused none. Session thread, or any thread
    // after the session has ended.
    const std::optional<TTrustedCertificate>& RefusedCertificate() const { return FRefused; }

    // The port of the protocol over TLS (995, 993) and how long a plain connection to it waits
    // for a greeting before it takes the silence for a server that expects a TLS handshake.
    static constexpr int DefaultTLSPortGreetingWait = 5000;
    int TLSPort() const { return FTLSPort; }
    int TLSPortGreetingWait() const { return FTLSPortGreetingWait; }
    void SetTLSPortCheck(int port, int greetingWaitMillis) {
        FTLSPort = port;
        FTLSPortGreetingWait = greetingWaitMillis;
    }

    int AddressConnectLimit() const { return FAddressConnectLimit; }
    void SetAddressConnectLimit(int millis) { FAddressConnectLimit = millis; }
    // Replaces the system's resolver (tests); empty restores it.
    void SetResolver(TResolver resolver) { FResolver = std::move(resolver); }
    // Connect() opens the factory's stream instead of a socket (tests, fuzzing); empty restores
    // sockets. See WinshoeStream.h.
    void SetStreamFactory(TStreamFactory factory) { FStreamFactory = std::move(factory); }

    virtual void Connect();
    // Runs the TLS handshake on the open connection, verifying the server's certificate for
    // Host() (or accepting exactly the trusted certificate when the setting names Host()).
    // Status "Secure connection (" protocol ")" on success. Throws EWinshoeCertificateError,
    // EWinshoeTLSError (also when the TLS module cannot be loaded) or the transport's errors;
    // does not disconnect. afterUpgrade: the server has just agreed to STARTTLS.
    void StartTLS(bool afterUpgrade = false);

protected:
    // With security None, before the greeting: throws EWinshoeTLSRequired when the server
    // expects TLS, that is when its first bytes are a TLS record, or when it sends nothing within
    // TLSPortGreetingWait() on TLSPort(). A server of the protocol over TLS waits in silence for
    // the client's handshake, and a plain client waits for its greeting: without this a check
    // would only end at its time-out.
    void RefuseTLSServer();
    // Before anything is sent: throws EWinshoeUnsafeCommand when the login name or the password
    // holds a line break or NUL, which would end a command early and start another.
    void RefuseUnsafeLogin() const;

private:
    std::vector<TResolvedAddress> LookUpAddresses(const std::string& host);
    void ConnectToAny(const std::vector<TResolvedAddress>& addresses);
    // One attempt; returns 0 or the Winsock code of the failure. Throws WSAEINTR when closed.
    int ConnectOnce(const TResolvedAddress& address, int limitMillis);
    void SwitchOffNagle();

    std::string FHost;
    std::string FUserID;
    std::string FPassword;
    TWinshoeSecurity FSecurity = TWinshoeSecurity::None;
    std::optional<TTrustedCertificate> FTrusted;
    std::optional<TTrustedCertificate> FRefused;
    int FAddressConnectLimit = DefaultAddressConnectLimit;
    int FTLSPort = 0;
    int FTLSPortGreetingWait = DefaultTLSPortGreetingWait;
    TResolver FResolver;
    TStreamFactory FStreamFactory;
};
