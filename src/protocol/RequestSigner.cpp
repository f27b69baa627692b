#include "protocol/RequestSigner.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <algorithm>
#include <cstring>

namespace quorvela {

namespace {

constexpr std::size_t kDigestBytes = 32;

// Signing reads both texts as C strings: bytes after a NUL are not signed.
std::string cString(const std::string& text) { return std::string(text.c_str()); }

}  // namespace

bool RequestSigner::isAscii(const std::string& text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::optional<std::string> RequestSigner::sign(const std::string& text, const std::string& key) {
    if (!isAscii(text) || !isAscii(key)) return std::nullopt;
    const std::string message = cString(text);
    const std::string secret = cString(key);
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    const unsigned char* result = HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
                                       reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest,
                                       &length);
    if (result == nullptr || length != kDigestBytes) return std::nullopt;
    return hexString(std::vector<std::uint8_t>(digest, digest + length));
}

std::string RequestSigner::hexString(const std::vector<std::uint8_t>& bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    const std::size_t count = std::min(bytes.size(), kDigestBytes);
    std::string out;
    out.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0f];
    }
    return out;
}

}  // namespace quorvela
