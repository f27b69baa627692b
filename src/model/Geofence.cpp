#include "quorvela/Geofence.h"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include "model/GeofenceRecord.h"
#include "model/RecordArchive.h"
#include "model/RecordKeys.h"
#include "quorvela/CreatingGeofenceException.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/LocationManager.h"

namespace quorvela {

namespace {

constexpr const auto& kTextKeys = RecordKeys::kGeofenceTexts;
constexpr const auto& kNumberKeys = RecordKeys::kGeofenceNumbers;
constexpr std::size_t kSerializedNumbers = 3;  // the three times are archived only

}  // namespace

Geofence::Geofence() {
    texts_.fill(std::string());
    texts_[kType] = "GEOFENCE";
}

std::shared_ptr<Geofence> Geofence::initWithID(const std::string& identifier, double latitude, double longitude,
                                               float radius, const std::string& eventType, const std::string& name) {
    auto g = std::make_shared<GeofenceRecord>();
    g->texts_[kRegionId] = identifier;
    g->texts_[kGeoFenceId] = identifier;
    g->texts_[kName] = name;
    g->texts_[kEventType] = eventType;
    g->numbers_[kLatitude] = latitude;
    g->numbers_[kLongitude] = longitude;
    g->numbers_[kRadius] = static_cast<double>(radius);
    g->activated_ = true;
    return g;
}

Geofence::Geofence(const Geofence& other) {
    std::lock_guard lock(other.mutex_);
    texts_ = other.texts_;
    numbers_ = other.numbers_;
    activated_ = other.activated_;
}

Geofence& Geofence::operator=(const Geofence& other) {
    if (this == &other) return *this;
    Geofence copy(other);
    std::lock_guard lock(mutex_);
    texts_ = std::move(copy.texts_);
    numbers_ = copy.numbers_;
    activated_ = copy.activated_;
    return *this;
}

Geofence::Text Geofence::get(TextField f) const {
    std::lock_guard lock(mutex_);
    return texts_[f];
}
Geofence::Number Geofence::get(NumberField f) const {
    std::lock_guard lock(mutex_);
    return numbers_[f];
}

Geofence::Text Geofence::regionId() const { return get(kRegionId); }
Geofence::Text Geofence::name() const { return get(kName); }
Geofence::Text Geofence::type() const { return get(kType); }
Geofence::Text Geofence::eventType() const { return get(kEventType); }
Geofence::Text Geofence::msgTitle() const { return get(kMsgTitle); }
Geofence::Text Geofence::msgContent() const { return get(kMsgContent); }
Geofence::Text Geofence::appName() const { return get(kAppName); }
Geofence::Text Geofence::timezone() const { return get(kTimezone); }
Geofence::Text Geofence::update() const { return get(kUpdate); }
Geofence::Text Geofence::clientId() const { return get(kClientId); }
Geofence::Text Geofence::geoFenceId() const { return get(kGeoFenceId); }
bool Geofence::activated() const {
    std::lock_guard lock(mutex_);
    return activated_;
}
Geofence::Number Geofence::latitude() const { return get(kLatitude); }
Geofence::Number Geofence::longitude() const { return get(kLongitude); }
Geofence::Number Geofence::radius() const { return get(kRadius); }
Geofence::Number Geofence::creationTime() const { return get(kCreationTime); }
Geofence::Number Geofence::lastEnterTime() const { return get(kLastEnterTime); }
Geofence::Number Geofence::lastExitTime() const { return get(kLastExitTime); }

Value::Dictionary Geofence::encodeWithCoder() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary archive;
    for (std::size_t i = 0; i < kTextCount; ++i) RecordArchive::putText(archive, kTextKeys[i], texts_[i]);
    archive["activated"] = Value(activated_);
    for (std::size_t i = 0; i < kNumberCount; ++i) RecordArchive::putNumber(archive, kNumberKeys[i], numbers_[i]);
    return archive;
}

std::shared_ptr<Geofence> Geofence::initWithCoder(const Value::Dictionary& archive) {
    auto g = std::make_shared<GeofenceRecord>();
    for (std::size_t i = 0; i < kTextCount; ++i) g->texts_[i] = RecordArchive::text(archive, kTextKeys[i]);
    g->activated_ = RecordArchive::flag(archive, "activated");
    for (std::size_t i = 0; i < kNumberCount; ++i) g->numbers_[i] = RecordArchive::number(archive, kNumberKeys[i]);
    return g;
}

Value::Dictionary Geofence::serialize() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary dictionary;
    for (std::size_t i = 0; i < kTextCount; ++i) dictionary[kTextKeys[i]] = Value(texts_[i].value_or(std::string()));
    dictionary["activated"] = Value(activated_);
    for (std::size_t i = 0; i < kSerializedNumbers; ++i) dictionary[kNumberKeys[i]] = Value(numbers_[i].value_or(0.0));
    return dictionary;
}

std::shared_ptr<CircularRegion> Geofence::toCircularRegion() const {
    return toCircularRegion(LocationManager::kMaximumRegionMonitoringDistance);
}

std::shared_ptr<CircularRegion> Geofence::toCircularRegion(double maximumRegionMonitoringDistance) const {
    Text identifier;
    Text eventType;
    double latitude = 0.0;
    double longitude = 0.0;
    float radius = 0.0f;
    {
        std::lock_guard lock(mutex_);
        identifier = texts_[kRegionId];
        eventType = texts_[kEventType];
        latitude = numbers_[kLatitude].value_or(0.0);
        longitude = numbers_[kLongitude].value_or(0.0);
        radius = static_cast<float>(numbers_[kRadius].value_or(0.0));
    }
    // Both sides are taken at single precision, as the platform's region radius is.
    const float maximum = static_cast<float>(maximumRegionMonitoringDistance);
    double used = static_cast<double>(radius) <= static_cast<double>(maximum) ? radius : maximum;
    // An unreadable radius is bad data, not a reason to watch the largest circle.
    if (!std::isfinite(radius)) used = radius;

    std::shared_ptr<CircularRegion> region;
    // A region needs an identifier to be traced back to its geofence.
    if (identifier) region = CircularRegion::make(latitude, longitude, used, *identifier);
    if (!region) throw CreatingGeofenceException(serialize());

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
