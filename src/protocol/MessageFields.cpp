#include "protocol/MessageFields.h"

#include <algorithm>
#include <array>

#include "quorvela/Message.h"

namespace quorvela {

std::optional<std::size_t> MessageFields::indexOf(std::string_view name) {
    // Measured once, so a lookup compares lengths before any character.
    static const auto names = [] {
        std::array<std::string_view, Message::kFieldCount> views{};
        std::copy(Message::fieldNames().begin(), Message::fieldNames().end(), views.begin());
        return views;
    }();
    const auto it = std::find(names.begin(), names.end(), name);
    if (it == names.end()) return std::nullopt;
    return static_cast<std::size_t>(it - names.begin());
}

}  // namespace quorvela
