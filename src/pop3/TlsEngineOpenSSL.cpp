// The program module talvoro_tls: ITlsEngine on OpenSSL, with memory buffers in place of a socket.
//
// Policy: TLS 1.2 or newer; the system's trust store through SSL_CTX_set_default_verify_paths
// (which honours SSL_CERT_FILE and SSL_CERT_DIR); the certificate must verify and be issued for
// the name the user typed (a DNS name, or an IP address literal); SNI carries a DNS name. A
// pinned fingerprint replaces that verification by "exactly this certificate". A failed check
// ends the handshake before any application data, so nothing of the session (the password) is
// ever sent to a server whose certificate was refused.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include "pop3/TlsEngine.h"

namespace {

int VerifyCallback(int preverified, X509_STORE_CTX* store);

// One context for the process: building it reads the whole trust store, which is worth doing
// once rather than at every check. It is built again after an hour, so that a trust store
// updated while the program runs is seen without a restart.
class TContextCache {
public:
    SSL_CTX* Acquire(std::string& error) {
        std::lock_guard lock(FLock);
        const auto now = std::chrono::steady_clock::now();
        if (FContext != nullptr && now - FBuilt < std::chrono::hours(1)) {
            SSL_CTX_up_ref(FContext);
            return FContext;
        }
        SSL_CTX* context = SSL_CTX_new(TLS_client_method());
        if (context == nullptr || SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1 ||
            SSL_CTX_set_default_verify_paths(context) != 1) {
            SSL_CTX_free(context);
            error = "cannot set up TLS";
            return nullptr;
        }
        SSL_CTX_set_verify(context, SSL_VERIFY_PEER, VerifyCallback);
        if (FContext != nullptr) {
            SSL_CTX_free(FContext);
        }
        FContext = context;
        FBuilt = now;
        SSL_CTX_up_ref(FContext);
        return FContext;
    }

private:
    std::mutex FLock;
    SSL_CTX* FContext = nullptr;
    std::chrono::steady_clock::time_point FBuilt;
};

TContextCache& ContextCache() {
    static TContextCache* cache = new TContextCache; // lives to the end; engines may outlive exit
    return *cache;
}

std::string OpenSSLReason() {
    const unsigned long code = ERR_peek_last_error();
    ERR_clear_error();
    if (code == 0) {
        return {};
    }
    const char* reason = ERR_reason_error_string(code);
    return reason != nullptr ? reason : "error " + std::to_string(code);
}

std::string ReasonForVerifyError(long error, const std::string& serverName) {
    switch (error) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
        return "it has expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
        return "it is not valid yet";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
        return "it was issued for another name than " + serverName;
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
        return "it is self-signed and not trusted";
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
    case X509_V_ERR_CERT_UNTRUSTED:
        return "it was issued by an authority that is not trusted";
    case X509_V_ERR_CERT_REVOKED:
        return "it has been revoked";
    case X509_V_ERR_CERT_SIGNATURE_FAILURE:
        return "its signature is not valid";
    case X509_V_ERR_INVALID_PURPOSE:
        return "it is not meant for a server";
    case X509_V_ERR_EE_KEY_TOO_SMALL:
    case X509_V_ERR_CA_KEY_TOO_SMALL:
    case X509_V_ERR_CA_MD_TOO_WEAK:
        return "its key or signature is too weak";
    default:
        return std::string("it could not be verified (") + X509_verify_cert_error_string(error) +
               ")";
    }
}

class TOpenSSLEngine final : public ITlsEngine {
public:
    TOpenSSLEngine(SSL_CTX* context, const std::string& serverName, bool addressLiteral,
                   const std::string& pin)
        : FSsl(SSL_new(context)), FServerName(serverName), FPin(pin) {
        SSL_CTX_free(context); // the session holds its own reference
        if (FSsl == nullptr) {
            return;
        }
        BIO* incoming = BIO_new(BIO_s_mem());
        FOutgoing = BIO_new(BIO_s_mem());
        if (incoming == nullptr || FOutgoing == nullptr) {
            BIO_free(incoming);
            BIO_free(FOutgoing);
            FOutgoing = nullptr;
            SSL_free(FSsl);
            FSsl = nullptr;
            return;
        }
        BIO_set_mem_eof_return(incoming, -1); // empty means "more to come", not the end
        SSL_set_bio(FSsl, incoming, FOutgoing);
        FIncoming = incoming;
        SSL_set_connect_state(FSsl);
        SSL_set_app_data(FSsl, this);
        X509_VERIFY_PARAM* parameters = SSL_get0_param(FSsl);
        X509_VERIFY_PARAM_set_hostflags(parameters, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
        bool named = false;
        if (addressLiteral) {
            named = X509_VERIFY_PARAM_set1_ip_asc(parameters, serverName.c_str()) == 1;
        } else {
            named = SSL_set_tlsext_host_name(FSsl, serverName.c_str()) == 1 &&
                    SSL_set1_host(FSsl, serverName.c_str()) == 1;
        }
        if (!named) {
            SSL_free(FSsl);
            FSsl = nullptr;
        }
    }

    ~TOpenSSLEngine() { SSL_free(FSsl); }

    bool Usable() const { return FSsl != nullptr; }

    int Handshake() override {
        ERR_clear_error();
        const int result = SSL_do_handshake(FSsl);
        if (result == 1) {
            return Complete;
        }
        const int error = SSL_get_error(FSsl, result);
        if (error == SSL_ERROR_WANT_READ) {
            return NeedsInput;
        }
        return Fail(OpenSSLReason());
    }

    long Read(char* buffer, std::size_t length) override {
        ERR_clear_error();
        std::size_t count = 0;
        if (SSL_read_ex(FSsl, buffer, length, &count) == 1) {
            return static_cast<long>(count);
        }
        switch (SSL_get_error(FSsl, 0)) {
        case SSL_ERROR_WANT_READ:
            return NeedsInput;
        case SSL_ERROR_ZERO_RETURN:
            return PeerClosed;
        default:
            return Fail(OpenSSLReason());
        }
    }

    long Write(const char* data, std::size_t length) override {
        ERR_clear_error();
        std::size_t written = 0;
        if (SSL_write_ex(FSsl, data, length, &written) == 1 && written == length) {
            return static_cast<long>(length);
        }
        return Fail(OpenSSLReason());
    }

    void Feed(const char* data, std::size_t length) override {
        while (length > 0) {
            const int chunk = static_cast<int>(std::min<std::size_t>(length, 1 << 20));
            if (BIO_write(FIncoming, data, chunk) != chunk) {
                return;
            }
            data += chunk;
            length -= static_cast<std::size_t>(chunk);
        }
    }

    std::size_t Drain(char* buffer, std::size_t length) override {
        const int chunk = static_cast<int>(std::min<std::size_t>(length, 1 << 20));
        const int count = chunk > 0 ? BIO_read(FOutgoing, buffer, chunk) : 0;
        return count > 0 ? static_cast<std::size_t>(count) : 0;
    }

    std::size_t PendingOutput() const override { return BIO_ctrl_pending(FOutgoing); }

    const char* FailureText() const override { return FFailure.c_str(); }
    const char* CertificateReason() const override { return FCertificateReason.c_str(); }
    const char* PeerFingerprint() const override { return FFingerprint.c_str(); }
    const char* ProtocolVersion() const override { return SSL_get_version(FSsl); }

    void Release() override { delete this; }

    // The verify callback, for each step of the chain's verification.
    int Verify(int preverified, X509_STORE_CTX* store) {
        if (FFingerprint.empty()) {
            NoteFingerprint(X509_STORE_CTX_get0_cert(store));
        }
        if (!FPin.empty()) {
            if (FFingerprint != FPin) {
                FCertificateReason = "it is not the certificate you chose to trust for this server";
                return 0;
            }
            return 1;
        }
        if (preverified == 0 && FCertificateReason.empty()) {
            FCertificateReason = ReasonForVerifyError(X509_STORE_CTX_get_error(store), FServerName);
        }
        return preverified;
    }

private:
    int Fail(const std::string& reason) {
        if (!FCertificateReason.empty()) {
            FFailure = "the certificate was not accepted: " + FCertificateReason;
        } else if (!reason.empty()) {
            FFailure = reason;
        } else {
            FFailure = "the server ended the secure connection";
        }
        return Failed;
    }

    void NoteFingerprint(X509* certificate) {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        if (certificate == nullptr ||
            X509_digest(certificate, EVP_sha256(), digest, &length) != 1) {
            return;
        }
        static const char Hex[] = "0123456789ABCDEF";
        for (unsigned int i = 0; i < length; ++i) {
            FFingerprint += Hex[digest[i] >> 4];
            FFingerprint += Hex[digest[i] & 15];
        }
    }

    SSL* FSsl = nullptr;
    BIO* FIncoming = nullptr;
    BIO* FOutgoing = nullptr;
    std::string FServerName;
    std::string FPin;
    std::string FFingerprint;
    std::string FCertificateReason;
    std::string FFailure;
};

int VerifyCallback(int preverified, X509_STORE_CTX* store) {
    auto* ssl =
        static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
    auto* engine = ssl != nullptr ? static_cast<TOpenSSLEngine*>(SSL_get_app_data(ssl)) : nullptr;
    return engine != nullptr ? engine->Verify(preverified, store) : 0;
}

void CopyError(const std::string& text, char* error, std::size_t errorSize) {
    if (error != nullptr && errorSize > 0) {
        std::snprintf(error, errorSize, "%s", text.c_str());
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) ITlsEngine*
TalvoroTlsCreateEngine(const char* serverName, bool addressLiteral, const char* pinnedFingerprint,
                       char* error, std::size_t errorSize) {
    try {
        std::string reason;
        SSL_CTX* context = ContextCache().Acquire(reason);
        if (context == nullptr) {
            CopyError(reason + ": " + OpenSSLReason(), error, errorSize);
            return nullptr;
        }
        auto* engine =
            new TOpenSSLEngine(context, serverName != nullptr ? serverName : "", addressLiteral,
                               pinnedFingerprint != nullptr ? pinnedFingerprint : "");
        if (!engine->Usable()) {
            delete engine;
            CopyError("cannot start a TLS session for this server name", error, errorSize);
            return nullptr;
        }
        return engine;
    } catch (...) {
        CopyError("out of memory", error, errorSize);
        return nullptr;
    }
}
