#include "protocol/SingleMessageParser.h"

#include "model/MessageRecord.h"
#include "protocol/MessageFields.h"
#include "quorvela/Message.h"

namespace quorvela {

void SingleMessageParser::tagStarted(std::string_view name, const char** /*attributes*/) {
    if (name == "message") message_ = MessageRecord::create();
}

SingleMessageParser::AfterEnd SingleMessageParser::tagEnded(std::string_view name) {
    if (message_ && MessageFields::isFieldName(name)) message_->setValue(currentStringValue(), name);
    return AfterEnd::ClearBuffer;
}

}  // namespace quorvela
