#pragma once
// The four values push processing reads from a notification's dictionary,
// each rendered as "%@" renders it, and the reading of a notification that
// arrives as JSON text.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "quorvela/Value.h"

namespace quorvela {

struct PushPayload {
    /// Request or message id; "(null)" when missing.
    std::string msgId;
    /// Command code; "(null)" when missing (matches no command).
    std::string type;
    /// Campaign name; null when missing.
    std::optional<std::string> subject;
    /// Client id of the push's workspace; null when missing.
    std::optional<std::string> clientId;

    static PushPayload read(const Value::Dictionary& payload);

    /// The dictionary of a JSON object text; nothing for malformed JSON, a
    /// NUL byte anywhere, a value that is not an object, or nesting deeper than kMaxNesting (a push
    /// is flat; deep nesting only costs stack).
    static std::optional<Value::Dictionary> parseJson(std::string_view text);
    static constexpr int kMaxNesting = 64;
};

}  // namespace quorvela
