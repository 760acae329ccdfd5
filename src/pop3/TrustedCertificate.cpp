#include "pop3/TrustedCertificate.h"

#include <algorithm>
#include <cctype>

namespace {

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

std::optional<TTrustedCertificate> ParseTrustedCertificate(std::string_view stored) {
    const std::size_t blank = stored.rfind(' ');
    if (blank == std::string_view::npos || blank == 0) {
        return std::nullopt;
    }
    TTrustedCertificate trusted;
    trusted.Server = std::string(stored.substr(0, blank));
    for (const char c : stored.substr(blank + 1)) {
        if (c == ':') {
            continue;
        }
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        trusted.Fingerprint += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (trusted.Fingerprint.size() != 64 || trusted.Server.find(' ') != std::string::npos) {
        return std::nullopt;
    }
    return trusted;
}

std::string FormatTrustedCertificate(const TTrustedCertificate& trusted) {
    std::string fingerprint = trusted.Fingerprint;
    std::transform(fingerprint.begin(), fingerprint.end(), fingerprint.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return trusted.Server + " " + fingerprint;
}

std::string FingerprintForDisplay(std::string_view hex) {
    std::string shown;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        if (!shown.empty()) {
            shown += ':';
        }
        shown += hex.substr(i, 2);
    }
    return shown;
}

bool TrustedCertificateApplies(const TTrustedCertificate& trusted, std::string_view host) {
    return SameTextIgnoringCase(trusted.Server, host);
}
