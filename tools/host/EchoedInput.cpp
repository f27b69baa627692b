#include "EchoedInput.h"

#include <fmt/format.h>

#include "protocol/Utf8Text.h"

namespace quorvela::host {

namespace {

// The length a lead byte announces; 0 for a byte that cannot start one.
std::size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

}  // namespace

std::string EchoedInput::of(std::string_view input) {
    std::string echo;
    std::size_t characters = 0;
    std::size_t i = 0;
    while (i < input.size()) {
        if (characters == kMaxCharacters) return echo + "...";
        const auto lead = static_cast<unsigned char>(input[i]);
        const std::size_t length = sequenceLength(lead);
        const bool control = lead < 0x20 || lead == 0x7F;
        if (length == 0 || control || i + length > input.size() || !Utf8Text::isValid(input.substr(i, length))) {
            echo += fmt::format("\\x{:02X}", lead);
            ++i;
        } else {
            echo.append(input.substr(i, length));
            i += length;
        }
        ++characters;
    }
    return echo;
}

}  // namespace quorvela::host
