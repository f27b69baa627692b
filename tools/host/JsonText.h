#pragma once
// Compact JSON texts of the values quorvela-host prints.

#include <memory>
#include <string>

#include "quorvela/Value.h"

namespace quorvela {
class Message;
}

namespace quorvela::host {

class JsonText {
public:
    /// Compact JSON; data as {"data":"<base64>"}; bytes that are not UTF-8
    /// are replaced rather than failing the line.
    static std::string of(const Value& value);
    /// The message's serialize dictionary; "null" for no message.
    static std::string messageText(const std::shared_ptr<Message>& message);
};

}  // namespace quorvela::host
