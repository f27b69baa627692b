#pragma once
// The single-message reply: the fields of the last "message" element.
#include <memory>

#include "protocol/ReplyParser.h"

namespace quorvela {

class Message;

class SingleMessageParser : public ReplyParser {
public:
    void didStartElement(const std::string& name, const Attributes& attributes) override;
    /// The last message read; null when the reply held none.
    const std::shared_ptr<Message>& message() const { return message_; }

protected:
    AfterEnd elementEnded(const std::string& name) override;

private:
    std::shared_ptr<Message> message_;
};

}  // namespace quorvela
