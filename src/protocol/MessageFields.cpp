#include "protocol/MessageFields.h"

#include <algorithm>

#include "quorvela/Message.h"

namespace quorvela {

bool MessageFields::isFieldName(const std::string& name) {
    const auto& names = Message::fieldNames();
    return std::any_of(names.begin(), names.end(), [&](const char* field) { return name == field; });
}

}  // namespace quorvela
