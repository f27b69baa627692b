#include "quorvela/Message.h"

#include <cctype>
#include <chrono>
#include <sstream>

#include <date/date.h>

#include "model/MessageRecord.h"
#include "model/RecordArchive.h"

namespace quorvela {

namespace {

// The one accepted shape, "yyyy-MM-ddTHH:mm:ss.SSS+hh:mm": the date library
// alone would also take a date without milliseconds.
bool hasDateShape(const std::string& s) {
    static const char* const shape = "dddd-dd-ddTdd:dd:dd.ddd+dd:dd";
    if (s.size() != std::char_traits<char>::length(shape)) return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        switch (shape[i]) {
        case 'd':
            if (!std::isdigit(c)) return false;
            break;
        case '+':
            if (c != '+' && c != '-') return false;
            break;
        default:
            if (c != static_cast<unsigned char>(shape[i])) return false;
        }
    }
    return true;
}

}  // namespace

const std::array<const char*, Message::kFieldCount>& Message::fieldNames() {
    static const std::array<const char*, kFieldCount> names = {
        "blastID",           "id",   "type",     "from",     "to",      "subject",  "text",    "status",
        "statusDescription", "date", "timezone", "clientId", "appName", "platform", "metaData"};
    return names;
}

Message::Message() { fields_.fill(std::string()); }

Message::Message(const Message& other) {
    std::lock_guard lock(other.mutex_);
    fields_ = other.fields_;
}

Message& Message::operator=(const Message& other) {
    if (this == &other) return *this;
    auto copy = [&] {
        std::lock_guard lock(other.mutex_);
        return other.fields_;
    }();
    std::lock_guard lock(mutex_);
    fields_ = std::move(copy);
    return *this;
}

Message::Text Message::get(Field f) const {
    std::lock_guard lock(mutex_);
    return fields_[f];
}

Message::Text Message::blastID() const { return get(kBlastID); }
Message::Text Message::id() const { return get(kId); }
Message::Text Message::type() const { return get(kType); }
Message::Text Message::from() const { return get(kFrom); }
Message::Text Message::to() const { return get(kTo); }
Message::Text Message::subject() const { return get(kSubject); }
Message::Text Message::text() const { return get(kText); }
Message::Text Message::status() const { return get(kStatus); }
Message::Text Message::statusDescription() const { return get(kStatusDescription); }
Message::Text Message::date() const { return get(kDate); }
Message::Text Message::timezone() const { return get(kTimezone); }
Message::Text Message::clientId() const { return get(kClientId); }
Message::Text Message::appName() const { return get(kAppName); }
Message::Text Message::platform() const { return get(kPlatform); }
Message::Text Message::metaData() const { return get(kMetaData); }

Value::Dictionary Message::encodeWithCoder() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary archive;
    const auto& names = fieldNames();
    for (std::size_t i = 0; i < names.size(); ++i) RecordArchive::putText(archive, names[i], fields_[i]);
    return archive;
}

std::shared_ptr<Message> Message::initWithCoder(const Value::Dictionary& archive) {
    auto message = std::make_shared<MessageRecord>();
    const auto& names = fieldNames();
    for (std::size_t i = 0; i < names.size(); ++i) message->fields_[i] = RecordArchive::text(archive, names[i]);
    return message;
}

Value::Dictionary Message::toDictionary() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary dictionary;
    const auto& names = fieldNames();
    for (std::size_t i = 0; i < names.size(); ++i) dictionary[names[i]] = Value(fields_[i].value_or(std::string()));
    return dictionary;
}

std::optional<double> Message::getDate() const {
    const auto text = date();
    if (!text || !hasDateShape(*text)) return std::nullopt;
    std::istringstream in(*text);
    date::sys_time<std::chrono::milliseconds> instant;
    in >> date::parse("%Y-%m-%dT%H:%M:%S%Ez", instant);
    if (in.fail() || in.peek() != std::char_traits<char>::eof()) return std::nullopt;
    return static_cast<double>(instant.time_since_epoch().count()) / 1000.0;
}

bool Message::isSameMessage(const Message& other) const {
    if (this == &other) return true;
    return blastID() == other.blastID() && id() == other.id();
}

}  // namespace quorvela
