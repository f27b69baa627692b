#include "quorvela/Beacon.h"

#include <cstdint>
#include <iterator>

#include "model/BeaconRecord.h"
#include "model/RecordArchive.h"
#include "model/RecordKeys.h"
#include "quorvela/CreatingBeaconException.h"
#include "quorvela/platform/BeaconRegion.h"

namespace quorvela {

namespace {

constexpr const auto& kTextKeys = RecordKeys::kBeaconTexts;

// Keeps the low 16 bits, so 65536 wraps to 0 and -1 to 65535.
std::uint16_t low16(const std::optional<std::string>& text) {
    const std::int64_t v = text ? Value(*text).integerValue() : 0;
    return static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFFu);
}

}  // namespace

Beacon::Beacon(const Beacon& other) {
    std::lock_guard lock(other.mutex_);
    texts_ = other.texts_;
    activated_ = other.activated_;
}

Beacon& Beacon::operator=(const Beacon& other) {
    if (this == &other) return *this;
    Beacon copy(other);
    std::lock_guard lock(mutex_);
    texts_ = std::move(copy.texts_);
    activated_ = copy.activated_;
    return *this;
}

Beacon::Text Beacon::get(TextField f) const {
    std::lock_guard lock(mutex_);
    return texts_[f];
}

Beacon::Text Beacon::regionId() const { return get(kRegionId); }
Beacon::Text Beacon::name() const { return get(kName); }
Beacon::Text Beacon::type() const { return get(kType); }
Beacon::Text Beacon::eventType() const { return get(kEventType); }
Beacon::Text Beacon::msgTitle() const { return get(kMsgTitle); }
Beacon::Text Beacon::msgContent() const { return get(kMsgContent); }
Beacon::Text Beacon::appName() const { return get(kAppName); }
Beacon::Text Beacon::timezone() const { return get(kTimezone); }
Beacon::Text Beacon::update() const { return get(kUpdate); }
bool Beacon::activated() const {
    std::lock_guard lock(mutex_);
    return activated_;
}
Beacon::Text Beacon::clientId() const { return get(kClientId); }
Beacon::Text Beacon::uuid() const { return get(kUuid); }
Beacon::Text Beacon::major() const { return get(kMajor); }
Beacon::Text Beacon::minor() const { return get(kMinor); }
Beacon::Text Beacon::manufacturer() const { return get(kManufacturer); }
Beacon::Text Beacon::distanceString() const { return get(kDistanceString); }

Value::Dictionary Beacon::encodeWithCoder() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary archive;
    for (std::size_t i = 0; i < kTextCount; ++i) RecordArchive::putText(archive, kTextKeys[i], texts_[i]);
    archive["activated"] = Value(activated_);
    return archive;
}

std::shared_ptr<Beacon> Beacon::initWithCoder(const Value::Dictionary& archive) {
    auto b = std::make_shared<BeaconRecord>();
    for (std::size_t i = 0; i < kTextCount; ++i) b->texts_[i] = RecordArchive::text(archive, kTextKeys[i]);
    b->activated_ = RecordArchive::flag(archive, "activated");
    return b;
}

Value::Dictionary Beacon::serialize() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary dictionary;
    for (std::size_t i = 0; i < kTextCount; ++i) dictionary[kTextKeys[i]] = Value(texts_[i].value_or(std::string()));
    dictionary["activated"] = Value(activated_ ? "true" : "false");
    return dictionary;
}

std::shared_ptr<BeaconRegion> Beacon::toBeaconRegion() const {
    Text identifier, uuid, major, minor, eventType;
    {
        std::lock_guard lock(mutex_);
        identifier = texts_[kRegionId];
        uuid = texts_[kUuid];
        major = texts_[kMajor];
        minor = texts_[kMinor];
        eventType = texts_[kEventType];
    }
    std::shared_ptr<BeaconRegion> region;
    // A region needs an identifier to be traced back to its beacon.
    if (identifier && uuid) region = BeaconRegion::make(*uuid, low16(major), low16(minor), *identifier);
    if (!region) throw CreatingBeaconException(serialize());

    region->setNotifyOnEntry(true);
    region->setNotifyOnExit(true);
    if (eventType == "ENTER") {
        region->setNotifyOnExit(false);
    } else if (eventType == "EXIT") {
        region->setNotifyOnEntry(false);
    }
    return region;
}

}  // namespace quorvela
