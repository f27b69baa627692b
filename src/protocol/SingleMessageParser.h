#pragma once
// The single-message reply: the fields of the last "message" element.
#include <memory>

#include "model/MessageRecord.h"
#include "protocol/ReplyParser.h"

namespace quorvela {

class SingleMessageParser : public ReplyParser {
public:
    void didStartElement(const std::string& name, const Attributes& attributes) override;
    /// The last message read; null when the reply held none.
    const std::shared_ptr<MessageRecord>& message() const { return message_; }

protected:
    AfterEnd elementEnded(const std::string& name) override;

private:
    std::shared_ptr<MessageRecord> message_;
};

}  // namespace quorvela
