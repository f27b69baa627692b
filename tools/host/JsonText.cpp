#include "JsonText.h"

#include <nlohmann/json.hpp>

#include "platform/ValueConversions.h"
#include "quorvela/Message.h"

namespace quorvela::host {

std::string JsonText::of(const Value& value) {
    return toJson(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string JsonText::messageText(const std::shared_ptr<Message>& message) {
    return message ? of(Value(message->serialize())) : "null";
}

}  // namespace quorvela::host
