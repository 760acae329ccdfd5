#pragma once

// A throw-away certificate authority and server certificates for TLS tests, made with OpenSSL
// and written as PEM files into a folder: certificates for given names (subjectAltName entries
// such as "DNS:localhost" or "IP:127.0.0.1"), valid for a given span relative to now (in the
// past for an expired one), signed by the authority or by themselves.

#include <string>
#include <vector>

class TestCertificates {
public:
    struct Files {
        std::string Certificate;
        std::string Key;
    };

    static constexpr long Day = 24 * 60 * 60;

    // Creates the authority's certificate and key in the folder, which must exist.
    explicit TestCertificates(const std::string& folder);

    // The authority's certificate: point SSL_CERT_FILE at it to trust what it signed.
    const std::string& AuthorityFile() const { return FAuthority.Certificate; }

    Files Issue(const std::string& fileName, const std::vector<std::string>& altNames,
                long validFrom = -Day, long validUntil = 30 * Day);
    Files SelfSigned(const std::string& fileName, const std::vector<std::string>& altNames);

    // The SHA-256 fingerprint of a certificate file, 64 upper-case hex digits.
    static std::string Fingerprint(const std::string& certificateFile);

private:
    Files Make(const std::string& fileName, const std::vector<std::string>& altNames,
               long validFrom, long validUntil, bool authority, bool selfSigned);

    std::string FFolder;
    Files FAuthority;
    int FSerial = 1;
};
