#include "model/GeofenceRecord.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <limits>
#include <string_view>

#include "model/RecordKeys.h"

namespace quorvela {

namespace {

// The text keys as views, so a lookup compares lengths before any character.
template <std::size_t N>
constexpr std::array<std::string_view, N> viewsOf(const char* const (&names)[N]) {
    std::array<std::string_view, N> views{};
    for (std::size_t i = 0; i < N; ++i) views[i] = names[i];
    return views;
}
constexpr auto kTextKeys = viewsOf(RecordKeys::kGeofenceTexts);

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

void GeofenceRecord::setValue(const Text& value, std::string_view key) {
    const auto* it = std::find(kTextKeys.begin(), kTextKeys.end(), key);
    if (it != kTextKeys.end()) {
        put(static_cast<TextField>(it - kTextKeys.begin()), value);
        return;
    }
    // Other keys (the three times included) are not parser input; the value
    // is read only for the keys that take one.
    if (key != "activated" && key != "latitude" && key != "longitude" && key != "radius") return;
    const Value v = value ? Value(*value) : Value();
    if (key == "activated") {
        setActivated(v.boolValue());
    } else if (key == "latitude") {
        setLatitude(v.doubleValue());
    } else if (key == "longitude") {
        setLongitude(v.doubleValue());
    } else {
        setRadius(static_cast<double>(leadingInt32(v)));
    }
}

}  // namespace quorvela
