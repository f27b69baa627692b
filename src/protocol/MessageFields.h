#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace quorvela {

class MessageFields {
public:
    /// Whether `name` is one of the fifteen field names of a message.
    static bool isFieldName(std::string_view name) { return indexOf(name).has_value(); }
    /// The position of `name` among Message::fieldNames(), if it is one.
    static std::optional<std::size_t> indexOf(std::string_view name);
};

}  // namespace quorvela
