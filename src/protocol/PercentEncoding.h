#pragma once
// Percent-encoding with the URL path character set, used for parameter paths
// and for the analytics query values.
#include <optional>
#include <string>

namespace quorvela {

class PercentEncoding {
public:
    /// Keeps ASCII letters, digits and - . _ ~ ! $ & ' ( ) * + , = : @ /;
    /// writes every other byte as "%" and two uppercase hexadecimal digits.
    static std::string encodePath(const std::string& text);

    /// Undoes any percent-encoding; nothing when a "%" is not followed by two
    /// hexadecimal digits.
    static std::optional<std::string> decode(const std::string& text);

    /// Whether `c` stays as it is in a path.
    static bool isPathCharacter(unsigned char c);
};

}  // namespace quorvela
