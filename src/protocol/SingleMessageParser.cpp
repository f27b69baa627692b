#include "protocol/SingleMessageParser.h"

#include "model/MessageRecord.h"
#include "protocol/MessageFields.h"
#include "quorvela/Message.h"

namespace quorvela {

void SingleMessageParser::didStartElement(const std::string& name, const Attributes& /*attributes*/) {
    if (name == "message") message_ = MessageRecord::create();
}

SingleMessageParser::AfterEnd SingleMessageParser::elementEnded(const std::string& name) {
    if (message_ && MessageFields::isFieldName(name)) message_->setValue(currentStringValue(), name);
    return AfterEnd::ClearBuffer;
}

}  // namespace quorvela
