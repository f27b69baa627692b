#include "c/OwnedText.h"

#include <cstdlib>
#include <cstring>

namespace quorvela::c {

char* OwnedText::copy(const std::string& text) {
    auto* out = static_cast<char*>(std::malloc(text.size() + 1));
    if (!out) return nullptr;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return out;
}

void OwnedText::store(char** out, const std::string& text) {
    if (out) *out = copy(text);
}

}  // namespace quorvela::c
