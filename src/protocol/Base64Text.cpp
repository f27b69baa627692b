#include "protocol/Base64Text.h"

#include <openssl/evp.h>

#include <vector>

namespace quorvela {

std::string Base64Text::encode(const std::string& bytes) {
    std::vector<unsigned char> out(4 * ((bytes.size() + 2) / 3) + 1);
    const int length = EVP_EncodeBlock(out.data(), reinterpret_cast<const unsigned char*>(bytes.data()),
                                       static_cast<int>(bytes.size()));
    return std::string(reinterpret_cast<const char*>(out.data()), static_cast<std::size_t>(length));
}

std::optional<std::string> Base64Text::decode(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<unsigned char> out(3 * (text.size() / 4) + 1);
    const int length = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0) return std::nullopt;
    // EVP_DecodeBlock counts the fill characters as zero bytes.
    std::size_t size = static_cast<std::size_t>(length);
    if (!text.empty() && text.back() == '=') --size;
    if (text.size() > 1 && text[text.size() - 2] == '=') --size;
    return std::string(reinterpret_cast<const char*>(out.data()), size);
}

}  // namespace quorvela
