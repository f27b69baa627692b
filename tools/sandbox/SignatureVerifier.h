#pragma once
#include <string>
#include <string_view>

namespace quorvela::sandbox {

/// Checks the signature of a REST request: HMAC-SHA256 of the raw (decoded)
/// parameter path under the client's key, as 64 lowercase hex digits. Done
/// here with OpenSSL directly, so the sandbox checks the library's signing
/// rather than sharing its code.
class SignatureVerifier {
public:
    /// 64 lowercase hex digits of HMAC-SHA256(key, message).
    static std::string sign(std::string_view key, std::string_view message);
    /// True when `signature` is the signature of `message` under `key`;
    /// compares in constant time.
    static bool verify(std::string_view key, std::string_view message, std::string_view signature);
};

}  // namespace quorvela::sandbox
