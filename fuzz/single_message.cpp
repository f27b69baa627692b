// Arbitrary bytes as a single-message reply: the parser never crashes, and
// a message it reports came from a "message" element.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/SingleMessageParser.h"
#include "quorvela/Message.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quorvela::SingleMessageParser parser;
    const bool wellFormed = parser.parse(bytes);
    if (wellFormed == parser.parseError().has_value()) __builtin_trap();
    if (parser.message()) {
        if (bytes.find("<message") == std::string_view::npos) __builtin_trap();
        (void)parser.message()->encodeWithCoder();
    }
    return 0;
}
