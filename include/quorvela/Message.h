#pragma once
// One message of a workspace inbox: fifteen text fields, identified by the
// pair blastID / id.

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

/// Held by std::shared_ptr; every accessor is safe from any thread.
class QUORVELA_EXPORT Message {
public:
    using Text = std::optional<std::string>;

    /// Every field empty text (never null).
    Message();
    static std::shared_ptr<Message> create() { return std::make_shared<Message>(); }

    Message(const Message& other);
    Message& operator=(const Message& other);

    Text blastID() const;
    void setBlastID(Text value);
    Text id() const;
    void setId(Text value);
    Text type() const;
    void setType(Text value);
    Text from() const;
    void setFrom(Text value);
    Text to() const;
    void setTo(Text value);
    Text subject() const;
    void setSubject(Text value);
    Text text() const;
    void setText(Text value);
    Text status() const;
    void setStatus(Text value);
    Text statusDescription() const;
    void setStatusDescription(Text value);
    Text date() const;
    void setDate(Text value);
    Text timezone() const;
    void setTimezone(Text value);
    Text clientId() const;
    void setClientId(Text value);
    Text appName() const;
    void setAppName(Text value);
    Text platform() const;
    void setPlatform(Text value);
    Text metaData() const;
    void setMetaData(Text value);

    /// Stores the value (null included) in the field named `key`; any other
    /// key is ignored.
    void setValue(const Text& value, const std::string& key);

    /// The archive dictionary: each non-null field under its name.
    Value::Dictionary encodeWithCoder() const;
    /// A message from its archive dictionary; an absent or non-text key leaves
    /// that field null.
    static std::shared_ptr<Message> initWithCoder(const Value::Dictionary& archive);

    /// The fifteen fields by name; a null field gives empty text.
    Value::Dictionary toDictionary() const;
    Value::Dictionary serialize() const { return toDictionary(); }

    /// `date` read as "yyyy-MM-dd'T'HH:mm:ss.SSSxxx" (e.g.
    /// 2016-03-01T10:15:30.250-05:00) as seconds since 1970 UTC; nothing when
    /// the text has any other form.
    std::optional<double> getDate() const;

    /// Same blastID and same id.
    bool isSameMessage(const Message& other) const;

    /// The field names in archive order.
    static constexpr std::size_t kFieldCount = 15;
    static const std::array<const char*, kFieldCount>& fieldNames();

private:
    enum Field : std::size_t {
        kBlastID,
        kId,
        kType,
        kFrom,
        kTo,
        kSubject,
        kText,
        kStatus,
        kStatusDescription,
        kDate,
        kTimezone,
        kClientId,
        kAppName,
        kPlatform,
        kMetaData
    };
    Text get(Field f) const;
    void set(Field f, Text value);

    mutable std::mutex mutex_;
    std::array<Text, kFieldCount> fields_;
};

}  // namespace quorvela
