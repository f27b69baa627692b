#pragma once
// The single-message reply: the fields of the last "message" element.
#include <memory>
#include <string_view>

#include "model/MessageRecord.h"
#include "protocol/ReplyParser.h"

namespace quorvela {

class SingleMessageParser : public ReplyParser {
public:
    /// The last message read; null when the reply held none.
    const std::shared_ptr<MessageRecord>& message() const { return message_; }

protected:
    void tagStarted(std::string_view name, const char** attributes) override;
    AfterEnd tagEnded(std::string_view name) override;

private:
    std::shared_ptr<MessageRecord> message_;
};

}  // namespace quorvela
