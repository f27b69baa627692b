#include "SignatureVerifier.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

namespace quorvela::sandbox {

std::string SignatureVerifier::sign(std::string_view key, std::string_view message) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(message.data()),
         message.size(), digest, &length);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        out.push_back(kHex[digest[i] >> 4]);
        out.push_back(kHex[digest[i] & 0x0f]);
    }
    return out;
}

bool SignatureVerifier::verify(std::string_view key, std::string_view message, std::string_view signature) {
    const std::string expected = sign(key, message);
    if (signature.size() != expected.size()) return false;
    return CRYPTO_memcmp(expected.data(), signature.data(), expected.size()) == 0;
}

}  // namespace quorvela::sandbox
