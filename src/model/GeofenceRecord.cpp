#include "model/GeofenceRecord.h"

#include <cstdint>
#include <limits>

#include "model/RecordKeys.h"

namespace quorvela {

namespace {

std::int32_t leadingInt32(const Value& text) {
    const std::int64_t v = text.integerValue();
    if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
    if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(v);
}

}  // namespace

void GeofenceRecord::put(TextField f, Text value) {
    std::lock_guard lock(mutex_);
    texts_[f] = std::move(value);
}

void GeofenceRecord::put(NumberField f, Number value) {
    std::lock_guard lock(mutex_);
    numbers_[f] = value;
}

void GeofenceRecord::setRegionId(Text value) { put(kRegionId, std::move(value)); }
void GeofenceRecord::setName(Text value) { put(kName, std::move(value)); }
void GeofenceRecord::setType(Text value) { put(kType, std::move(value)); }
void GeofenceRecord::setEventType(Text value) { put(kEventType, std::move(value)); }
void GeofenceRecord::setMsgTitle(Text value) { put(kMsgTitle, std::move(value)); }
void GeofenceRecord::setMsgContent(Text value) { put(kMsgContent, std::move(value)); }
void GeofenceRecord::setAppName(Text value) { put(kAppName, std::move(value)); }
void GeofenceRecord::setTimezone(Text value) { put(kTimezone, std::move(value)); }
void GeofenceRecord::setUpdate(Text value) { put(kUpdate, std::move(value)); }
void GeofenceRecord::setClientId(Text value) { put(kClientId, std::move(value)); }
void GeofenceRecord::setGeoFenceId(Text value) { put(kGeoFenceId, std::move(value)); }
void GeofenceRecord::setActivated(bool value) {
    std::lock_guard lock(mutex_);
    activated_ = value;
}
void GeofenceRecord::setLatitude(Number value) { put(kLatitude, value); }
void GeofenceRecord::setLongitude(Number value) { put(kLongitude, value); }
void GeofenceRecord::setRadius(Number value) { put(kRadius, value); }
void GeofenceRecord::setCreationTime(Number value) { put(kCreationTime, value); }
void GeofenceRecord::setLastEnterTime(Number value) { put(kLastEnterTime, value); }
void GeofenceRecord::setLastExitTime(Number value) { put(kLastExitTime, value); }

void GeofenceRecord::setValue(const Text& value, const std::string& key) {
    for (std::size_t i = 0; i < kTextCount; ++i) {
        if (key == RecordKeys::kGeofenceTexts[i]) {
            put(static_cast<TextField>(i), value);
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

}  // namespace quorvela
