#pragma once
#include <string_view>

namespace quorvela {

class Utf8Text {
public:
    /// Whether `bytes` is well-formed UTF-8: shortest forms only, no
    /// surrogates, nothing above U+10FFFF.
    static bool isValid(std::string_view bytes);
};

}  // namespace quorvela
