#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace quorvela::sandbox {

/// Strict percent-decoding of URL parts. A "%" not followed by two hex digits
/// is an error rather than literal text, so malformed requests are refused
/// instead of being checked against a text the client never signed.
class PercentCoding {
public:
    /// The decoded bytes, or nothing when the input is malformed. "+" stays "+".
    static std::optional<std::string> decode(std::string_view encoded);
};

}  // namespace quorvela::sandbox
