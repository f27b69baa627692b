#pragma once
// The part of an input line that an `error` line repeats. One bad line must
// neither flood the transcript nor corrupt it, so the echo is cut to a few
// hundred characters and bytes that a terminal or a JSON reader would choke
// on (NUL, other control bytes, invalid UTF-8) are written as \xNN.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvela::host {

class EchoedInput {
public:
    static constexpr std::size_t kMaxCharacters = 200;

    /// At most kMaxCharacters characters of `input`, "..." after a cut.
    static std::string of(std::string_view input);
};

}  // namespace quorvela::host
