#pragma once
// Request signatures: HMAC-SHA256 of the raw parameter path under the
// client's or the workspace's key, written as lowercase hexadecimal.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorvela {

class RequestSigner {
public:
    /// Reported by every caller whose request could not be signed.
    static constexpr const char* kNonAsciiError = "Cannot sign a request that holds non-ASCII text";

    /// The 64-digit signature of `text` under `key`; nothing when either holds
    /// a byte outside ASCII. Both are read as C strings (up to a NUL byte), the
    /// way the service reads them. Pure; safe from any thread.
    static std::optional<std::string> sign(const std::string& text, const std::string& key);

    /// Lowercase hexadecimal of the first 32 bytes, two digits per byte; a
    /// shorter block gives the digits of the bytes there are.
    static std::string hexString(const std::vector<std::uint8_t>& bytes);

    /// True when every byte is below 0x80.
    static bool isAscii(const std::string& text);
};

}  // namespace quorvela
