#include "quorvela/Geofence.h"

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>

#include "model/RecordArchive.h"
#include "quorvela/CreatingGeofenceException.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/LocationManager.h"

namespace quorvela {

namespace {

constexpr const char* kTextKeys[] = {"regionId", "name",     "type",   "eventType", "msgTitle",  "msgContent",
                                     "appName",  "timezone", "update", "clientId",  "geoFenceId"};
constexpr const char* kNumberKeys[] = {"latitude",     "longitude",     "radius",
                                       "creationTime", "lastEnterTime", "lastExitTime"};
static_assert(std::size(kTextKeys) == 11 && std::size(kNumberKeys) == 6);
constexpr std::size_t kSerializedNumbers = 3;  // the three times are archived only

std::int32_t leadingInt32(const Value& text) {
    const std::int64_t v = text.integerValue();
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace

Geofence::Geofence() {
    texts_.fill(std::string());
    texts_[kType] = "GEOFENCE";
}

std::shared_ptr<Geofence> Geofence::initWithID(const std::string& identifier, double latitude, double longitude,
                                               float radius, const std::string& eventType, const std::string& name) {
    auto g = std::make_shared<Geofence>();
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
void Geofence::set(TextField f, Text value) {
    std::lock_guard lock(mutex_);
    texts_[f] = std::move(value);
}
Geofence::Number Geofence::get(NumberField f) const {
    std::lock_guard lock(mutex_);
    return numbers_[f];
}
void Geofence::set(NumberField f, Number value) {
    std::lock_guard lock(mutex_);
    numbers_[f] = value;
}

Geofence::Text Geofence::regionId() const { return get(kRegionId); }
void Geofence::setRegionId(Text value) { set(kRegionId, std::move(value)); }
Geofence::Text Geofence::name() const { return get(kName); }
void Geofence::setName(Text value) { set(kName, std::move(value)); }
Geofence::Text Geofence::type() const { return get(kType); }
void Geofence::setType(Text value) { set(kType, std::move(value)); }
Geofence::Text Geofence::eventType() const { return get(kEventType); }
void Geofence::setEventType(Text value) { set(kEventType, std::move(value)); }
Geofence::Text Geofence::msgTitle() const { return get(kMsgTitle); }
void Geofence::setMsgTitle(Text value) { set(kMsgTitle, std::move(value)); }
Geofence::Text Geofence::msgContent() const { return get(kMsgContent); }
void Geofence::setMsgContent(Text value) { set(kMsgContent, std::move(value)); }
Geofence::Text Geofence::appName() const { return get(kAppName); }
void Geofence::setAppName(Text value) { set(kAppName, std::move(value)); }
Geofence::Text Geofence::timezone() const { return get(kTimezone); }
void Geofence::setTimezone(Text value) { set(kTimezone, std::move(value)); }
Geofence::Text Geofence::update() const { return get(kUpdate); }
void Geofence::setUpdate(Text value) { set(kUpdate, std::move(value)); }
Geofence::Text Geofence::clientId() const { return get(kClientId); }
void Geofence::setClientId(Text value) { set(kClientId, std::move(value)); }
Geofence::Text Geofence::geoFenceId() const { return get(kGeoFenceId); }
void Geofence::setGeoFenceId(Text value) { set(kGeoFenceId, std::move(value)); }
bool Geofence::activated() const {
    std::lock_guard lock(mutex_);
    return activated_;
}
void Geofence::setActivated(bool value) {
    std::lock_guard lock(mutex_);
    activated_ = value;
}
Geofence::Number Geofence::latitude() const { return get(kLatitude); }
void Geofence::setLatitude(Number value) { set(kLatitude, value); }
Geofence::Number Geofence::longitude() const { return get(kLongitude); }
void Geofence::setLongitude(Number value) { set(kLongitude, value); }
Geofence::Number Geofence::radius() const { return get(kRadius); }
void Geofence::setRadius(Number value) { set(kRadius, value); }
Geofence::Number Geofence::creationTime() const { return get(kCreationTime); }
void Geofence::setCreationTime(Number value) { set(kCreationTime, value); }
Geofence::Number Geofence::lastEnterTime() const { return get(kLastEnterTime); }
void Geofence::setLastEnterTime(Number value) { set(kLastEnterTime, value); }
Geofence::Number Geofence::lastExitTime() const { return get(kLastExitTime); }
void Geofence::setLastExitTime(Number value) { set(kLastExitTime, value); }

void Geofence::setValue(const Text& value, const std::string& key) {
    for (std::size_t i = 0; i < kTextCount; ++i) {
        if (key == kTextKeys[i]) {
            set(static_cast<TextField>(i), value);
            return;
        }
    }
    const Value v = value ? Value(*value) : Value();
    if (key == "activated") {
        setActivated(v.boolValue());
    } else if (key == "latitude") {
        setLatitude(v.doubleValue());
    } else if (key == "longitude") {
        setLongitude(v.doubleValue());
    } else if (key == "radius") {
        setRadius(static_cast<double>(leadingInt32(v)));
    }
    // Other keys (the three times included) are not parser input.
}

Value::Dictionary Geofence::encodeWithCoder() const {
    std::lock_guard lock(mutex_);
    Value::Dictionary archive;
    for (std::size_t i = 0; i < kTextCount; ++i) RecordArchive::putText(archive, kTextKeys[i], texts_[i]);
    archive["activated"] = Value(activated_);
    for (std::size_t i = 0; i < kNumberCount; ++i) RecordArchive::putNumber(archive, kNumberKeys[i], numbers_[i]);
    return archive;
}

std::shared_ptr<Geofence> Geofence::initWithCoder(const Value::Dictionary& archive) {
    auto g = std::make_shared<Geofence>();
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
