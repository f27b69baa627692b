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

/// Held by std::shared_ptr; every accessor is safe from any thread. Read-only
/// for hosts: the library makes and fills records (a copy is the host's own).
class QUORVELA_EXPORT Message {
public:
    using Text = std::optional<std::string>;

    Message(const Message& other);

    Text blastID() const;
    Text id() const;
    Text type() const;
    Text from() const;
    Text to() const;
    Text subject() const;
    Text text() const;
    Text status() const;
    Text statusDescription() const;
    Text date() const;
    Text timezone() const;
    Text clientId() const;
    Text appName() const;
    Text platform() const;
    Text metaData() const;

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

protected:
    /// Every field empty text (never null).
    Message();
    Message& operator=(const Message& other);

private:
    // The library's parsers and stores fill records through it.
    friend class MessageRecord;

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

    mutable std::mutex mutex_;
    std::array<Text, kFieldCount> fields_;
};

}  // namespace quorvela
