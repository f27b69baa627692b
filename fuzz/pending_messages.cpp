// Arbitrary bytes as a pending-messages reply: the parser never crashes, and
// its result agrees with the reader about well-formedness.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "protocol/PendingMessagesParser.h"
#include "protocol/XmlReader.h"
#include "quorvela/Message.h"

namespace {

class Nothing : public quorvela::XmlReaderDelegate {};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    quorvela::PendingMessagesParser parser;
    const bool wellFormed = parser.parse(bytes);
    if (wellFormed == parser.parseError().has_value()) __builtin_trap();

    Nothing nothing;
    quorvela::XmlReader reader(nothing);
    if (reader.parse(bytes) != wellFormed) __builtin_trap();

    for (const auto& message : parser.messages()) {
        if (!message) __builtin_trap();
        (void)message->serialize();
        (void)message->getDate();
    }
    return 0;
}
