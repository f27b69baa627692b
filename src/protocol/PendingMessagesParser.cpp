#include "protocol/PendingMessagesParser.h"

#include "model/MessageRecord.h"
#include "protocol/MessageFields.h"
#include "quorvela/Message.h"

namespace quorvela {

void PendingMessagesParser::didStartDocument() { messages_.clear(); }

void PendingMessagesParser::tagStarted(std::string_view name, const char** /*attributes*/) {
    if (name == "message") message_ = MessageRecord::create();
}

PendingMessagesParser::AfterEnd PendingMessagesParser::tagEnded(std::string_view name) {
    if (message_ && MessageFields::isFieldName(name)) {
        message_->setValue(currentStringValue(), name);
    } else if (name == "message" && message_) {
        messages_.push_back(message_);
    }
    return AfterEnd::ClearBuffer;
}

}  // namespace quorvela
