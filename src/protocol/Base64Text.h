#pragma once
#include <optional>
#include <string>

namespace quorvela {

/// Standard Base64 ("+", "/", "=" fill, no line breaks).
class Base64Text {
public:
    static std::string encode(const std::string& bytes);
    /// Nothing when `text` is not well-formed Base64.
    static std::optional<std::string> decode(const std::string& text);
};

}  // namespace quorvela
