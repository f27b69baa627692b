#pragma once
// The pending-messages reply: one "message" element per message, its
// children named after the message fields. The current message is not
// dropped when its element ends, so a field element between two messages
// changes the one just appended.
#include <memory>
#include <string_view>
#include <vector>

#include "model/MessageRecord.h"
#include "protocol/ReplyParser.h"

namespace quorvela {

class PendingMessagesParser : public ReplyParser {
public:
    using MessageList = std::vector<std::shared_ptr<Message>>;

    void didStartDocument() override;

    const MessageList& messages() const { return messages_; }
    /// The message being read, and after its end the one read last.
    const std::shared_ptr<MessageRecord>& message() const { return message_; }

protected:
    void tagStarted(std::string_view name, const char** attributes) override;
    AfterEnd tagEnded(std::string_view name) override;

private:
    MessageList messages_;
    std::shared_ptr<MessageRecord> message_;
};

}  // namespace quorvela
