#pragma once

// The trusted-certificate setting: a server name, one blank, and the SHA-256 fingerprint of the
// one certificate the user chose to trust for that server, as 64 hex digits ("mail.example.org
// 3A4F...9C"). With it, a secure connection to that server accepts exactly that certificate,
// whether or not it verifies, and no other; connections to other servers are not affected.

#include <optional>
#include <string>
#include <string_view>

struct TTrustedCertificate {
    std::string Server;
    std::string Fingerprint; // 64 upper-case hex digits
};

// Empty or malformed text (no blank, an empty name, not 64 hex digits) gives nothing. Hex digits
// may be in either case and may be separated by colons.
std::optional<TTrustedCertificate> ParseTrustedCertificate(std::string_view stored);
// The stored form: the server name, a blank, the fingerprint in upper case.
std::string FormatTrustedCertificate(const TTrustedCertificate& trusted);
// "3A:4F:...:9C", as certificate dialogs show it.
std::string FingerprintForDisplay(std::string_view hex);
// Whether the setting names this host: DNS names compare without regard to letter case.
bool TrustedCertificateApplies(const TTrustedCertificate& trusted, std::string_view host);
