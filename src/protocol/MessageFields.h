#pragma once
#include <string>

namespace quorvela {

class MessageFields {
public:
    /// Whether `name` is one of the fifteen field names of a message.
    static bool isFieldName(const std::string& name);
};

}  // namespace quorvela
