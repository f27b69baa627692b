#pragma once
// The library's side of a message record: the same record with its setters,
// for the parsers, the stores and tests. Hosts see the read-only Message.

#include <memory>
#include <string>
#include <string_view>

#include "quorvela/Message.h"

namespace quorvela {

class MessageRecord final : public Message {
public:
    MessageRecord() = default;
    explicit MessageRecord(const Message& other) : Message(other) {}
    static std::shared_ptr<MessageRecord> create() { return std::make_shared<MessageRecord>(); }

    void setBlastID(Text value);
    void setId(Text value);
    void setType(Text value);
    void setFrom(Text value);
    void setTo(Text value);
    void setSubject(Text value);
    void setText(Text value);
    void setStatus(Text value);
    void setStatusDescription(Text value);
    void setDate(Text value);
    void setTimezone(Text value);
    void setClientId(Text value);
    void setAppName(Text value);
    void setPlatform(Text value);
    void setMetaData(Text value);

    /// Stores the value (null included) in the field named `key`; any other
    /// key is ignored.
    void setValue(const Text& value, std::string_view key);

private:
    void put(Field f, Text value);
};

}  // namespace quorvela
