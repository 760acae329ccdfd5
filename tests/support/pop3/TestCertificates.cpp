#include "TestCertificates.h"

#include <cstdio>
#include <memory>
#include <stdexcept>

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

namespace {

struct FreeKey {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct FreeCertificate {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct CloseFile {
    void operator()(FILE* file) const { std::fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, FreeKey>;
using Certificate = std::unique_ptr<X509, FreeCertificate>;
using File = std::unique_ptr<FILE, CloseFile>;

void Check(bool ok, const char* what) {
    if (!ok) {
        throw std::runtime_error(std::string("TestCertificates: ") + what);
    }
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    Check(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1, "extension");
    X509_EXTENSION_free(extension);
}

Key ReadKey(const std::string& path) {
    File file(std::fopen(path.c_str(), "r"));
    Check(file != nullptr, "read key");
    return Key(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
}

Certificate ReadCertificate(const std::string& path) {
    File file(std::fopen(path.c_str(), "r"));
    Check(file != nullptr, "read certificate");
    return Certificate(PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
}

} // namespace

TestCertificates::TestCertificates(const std::string& folder) : FFolder(folder) {
    FAuthority = Make("authority", {}, -Day, 30 * Day, true, true);
}

TestCertificates::Files TestCertificates::Issue(const std::string& fileName,
                                                const std::vector<std::string>& altNames,
                                                long validFrom, long validUntil) {
    return Make(fileName, altNames, validFrom, validUntil, false, false);
}

TestCertificates::Files TestCertificates::SelfSigned(const std::string& fileName,
                                                     const std::vector<std::string>& altNames) {
    return Make(fileName, altNames, -Day, 30 * Day, false, true);
}

TestCertificates::Files TestCertificates::Make(const std::string& fileName,
                                               const std::vector<std::string>& altNames,
                                               long validFrom, long validUntil, bool authority,
                                               bool selfSigned) {
    Key key(EVP_EC_gen("P-256"));
    Certificate certificate(X509_new());
    Check(key && certificate, "new key");
    X509_set_version(certificate.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate.get()), FSerial++);
    X509_gmtime_adj(X509_getm_notBefore(certificate.get()), validFrom);
    X509_gmtime_adj(X509_getm_notAfter(certificate.get()), validUntil);
    X509_set_pubkey(certificate.get(), key.get());
    X509_NAME* name = X509_get_subject_name(certificate.get());
    const std::string commonName = authority ? "Talvoro Test Authority" : "Talvoro " + fileName;
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName.c_str()), -1, -1,
                               0);

    Certificate issuer;
    Key issuerKey;
    if (!selfSigned) {
        issuer = ReadCertificate(FAuthority.Certificate);
        issuerKey = ReadKey(FAuthority.Key);
        Check(issuer && issuerKey, "authority");
    }
    X509* signer = selfSigned ? certificate.get() : issuer.get();
    X509_set_issuer_name(certificate.get(), X509_get_subject_name(signer));
    AddExtension(certificate.get(), signer, NID_basic_constraints,
                 authority ? "critical,CA:TRUE" : "CA:FALSE");
    AddExtension(certificate.get(), signer, NID_subject_key_identifier, "hash");
    if (authority) {
        AddExtension(certificate.get(), signer, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        AddExtension(certificate.get(), signer, NID_ext_key_usage, "serverAuth");
        std::string names;
        for (const std::string& altName : altNames) {
            names += (names.empty() ? "" : ",") + altName;
        }
        if (!names.empty()) {
            AddExtension(certificate.get(), signer, NID_subject_alt_name, names);
        }
    }
    Check(X509_sign(certificate.get(), selfSigned ? key.get() : issuerKey.get(), EVP_sha256()) > 0,
          "sign");

    Files files{FFolder + "/" + fileName + ".pem", FFolder + "/" + fileName + ".key"};
    File out(std::fopen(files.Certificate.c_str(), "w"));
    Check(out && PEM_write_X509(out.get(), certificate.get()) == 1, "write certificate");
    out.reset(std::fopen(files.Key.c_str(), "w"));
    Check(out && PEM_write_PrivateKey(out.get(), key.get(), nullptr, nullptr, 0, nullptr,
                                      nullptr) == 1,
          "write key");
    return files;
}

std::string TestCertificates::Fingerprint(const std::string& certificateFile) {
    const Certificate certificate = ReadCertificate(certificateFile);
    Check(certificate != nullptr, "read certificate");
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    X509_digest(certificate.get(), EVP_sha256(), digest, &length);
    std::string hex;
    char pair[3];
    for (unsigned int i = 0; i < length; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", digest[i]);
        hex += pair;
    }
    return hex;
}
