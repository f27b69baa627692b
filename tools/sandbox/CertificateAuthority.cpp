#include "CertificateAuthority.h"

#include <fcntl.h>
#include <openssl/bn.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "ServiceHosts.h"

namespace quorvela::sandbox {

namespace {

namespace fs = std::filesystem;

struct KeyFree {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
    void operator()(X509* cert) const { X509_free(cert); }
};
struct FileClose {
    void operator()(FILE* file) const { std::fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;
using Cert = std::unique_ptr<X509, CertFree>;
using File = std::unique_ptr<FILE, FileClose>;

constexpr long kDay = 24L * 60L * 60L;
constexpr long kValidDays = 825;  // the longest validity TLS clients still accept

[[noreturn]] void fail(const std::string& what) {
    unsigned long code = ERR_get_error();
    char text[256] = {};
    if (code != 0) ERR_error_string_n(code, text, sizeof text);
    ERR_clear_error();
    throw std::runtime_error(what + (code != 0 ? std::string(": ") + text : std::string()));
}

Key makeKey() {
    Key key(EVP_EC_gen("P-256"));
    if (!key) fail("Cannot make a key");
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
    if (extension == nullptr) fail("Cannot make certificate extension " + value);
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

Cert makeCertificate(EVP_PKEY* subjectKey, const std::string& commonName) {
    Cert cert(X509_new());
    X509_set_version(cert.get(), 2);
    unsigned char serial[16];
    if (RAND_bytes(serial, sizeof serial) != 1) fail("Cannot make a serial number");
    serial[0] &= 0x7f;  // a positive serial
    BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
    BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
    BN_free(number);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -kDay);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), kValidDays * kDay);
    X509_set_pubkey(cert.get(), subjectKey);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Quorvela sandbox"), -1,
                               -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                               -1, 0);
    return cert;
}

void sign(X509* cert, EVP_PKEY* issuerKey) {
    if (X509_sign(cert, issuerKey, EVP_sha256()) == 0) fail("Cannot sign the certificate");
}

/// Writes through a temporary file and a rename, so a reader never sees half a
/// file; keys are created with mode 0600 from the start.
template <typename Writer>
void writeFile(const fs::path& path, bool secret, Writer write) {
    const fs::path temporary = path.string() + ".tmp";
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, secret ? 0600 : 0644);
    if (fd < 0) throw std::runtime_error("Cannot write " + temporary.string());
    File file(::fdopen(fd, "w"));
    if (!file) {
        ::close(fd);
        throw std::runtime_error("Cannot write " + temporary.string());
    }
    if (write(file.get()) != 1) fail("Cannot write " + path.string());
    if (std::fflush(file.get()) != 0 || ::fsync(fd) != 0) throw std::runtime_error("Cannot write " + path.string());
    file.reset();
    fs::rename(temporary, path);
}

Cert readCertificate(const fs::path& path) {
    File file(std::fopen(path.c_str(), "r"));
    if (!file) return nullptr;
    Cert cert(PEM_read_X509(file.get(), nullptr, nullptr, nullptr));
    ERR_clear_error();
    return cert;
}

Key readKey(const fs::path& path) {
    File file(std::fopen(path.c_str(), "r"));
    if (!file) return nullptr;
    Key key(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr));
    ERR_clear_error();
    return key;
}

bool stillValid(X509* cert) {
    // Renew a week ahead, so a long test run never crosses the end.
    time_t soon = time(nullptr) + 7 * kDay;
    return X509_cmp_time(X509_get0_notAfter(cert), &soon) > 0;
}

/// The server certificate is usable when it was signed by this CA, covers
/// every name and matches its key.
bool serverUsable(X509* ca, X509* server, EVP_PKEY* serverKey) {
    if (!stillValid(server) || X509_check_issued(ca, server) != X509_V_OK) return false;
    if (X509_check_private_key(server, serverKey) != 1) return false;
    for (const std::string& host : CertificateAuthority::serverNames()) {
        const bool matches = host == "127.0.0.1" ? X509_check_ip_asc(server, host.c_str(), 0) == 1
                                                 : X509_check_host(server, host.c_str(), host.size(), 0, nullptr) == 1;
        if (!matches) return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> CertificateAuthority::serverNames() {
    return {QUORVELA_SERVICE_HOST, QUORVELA_IPECHO_HOST, "localhost", "127.0.0.1"};
}

CertificateAuthority::Files CertificateAuthority::ensure(const fs::path& folder) {
    fs::create_directories(folder);
    const Files files{folder / "ca.pem", folder / "server.pem", folder / "server-key.pem"};
    const fs::path caKeyFile = folder / "ca-key.pem";

    Cert ca = readCertificate(files.caFile);
    Key caKey = readKey(caKeyFile);
    if (!ca || !caKey || !stillValid(ca.get()) || X509_check_private_key(ca.get(), caKey.get()) != 1) {
        caKey = makeKey();
        ca = makeCertificate(caKey.get(), "Quorvela sandbox CA");
        X509_set_issuer_name(ca.get(), X509_get_subject_name(ca.get()));
        addExtension(ca.get(), ca.get(), NID_basic_constraints, "critical,CA:TRUE");
        addExtension(ca.get(), ca.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(ca.get(), ca.get(), NID_subject_key_identifier, "hash");
        sign(ca.get(), caKey.get());
        writeFile(caKeyFile, true,
                  [&](FILE* f) { return PEM_write_PrivateKey(f, caKey.get(), nullptr, nullptr, 0, nullptr, nullptr); });
        writeFile(files.caFile, false, [&](FILE* f) { return PEM_write_X509(f, ca.get()); });
    }

    Cert server = readCertificate(files.certFile);
    Key serverKey = readKey(files.keyFile);
    if (server && serverKey && serverUsable(ca.get(), server.get(), serverKey.get())) return files;

    serverKey = makeKey();
    const std::vector<std::string> names = serverNames();
    server = makeCertificate(serverKey.get(), names.front());
    X509_set_issuer_name(server.get(), X509_get_subject_name(ca.get()));
    std::string altNames;
    for (const std::string& name : names) {
        if (!altNames.empty()) altNames += ",";
        altNames += (name == "127.0.0.1" ? "IP:" : "DNS:") + name;
    }
    addExtension(server.get(), ca.get(), NID_basic_constraints, "critical,CA:FALSE");
    addExtension(server.get(), ca.get(), NID_key_usage, "critical,digitalSignature,keyEncipherment");
    addExtension(server.get(), ca.get(), NID_ext_key_usage, "serverAuth");
    addExtension(server.get(), ca.get(), NID_subject_alt_name, altNames);
    addExtension(server.get(), ca.get(), NID_subject_key_identifier, "hash");
    addExtension(server.get(), ca.get(), NID_authority_key_identifier, "keyid:always");
    sign(server.get(), caKey.get());
    writeFile(files.keyFile, true,
              [&](FILE* f) { return PEM_write_PrivateKey(f, serverKey.get(), nullptr, nullptr, 0, nullptr, nullptr); });
    writeFile(files.certFile, false, [&](FILE* f) { return PEM_write_X509(f, server.get()); });
    return files;
}

}  // namespace quorvela::sandbox
