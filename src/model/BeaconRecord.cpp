#include "model/BeaconRecord.h"

#include <algorithm>
#include <array>
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
constexpr auto kTextKeys = viewsOf(RecordKeys::kBeaconTexts);

}  // namespace

void BeaconRecord::put(TextField f, Text value) {
    std::lock_guard lock(mutex_);
    texts_[f] = std::move(value);
}

void BeaconRecord::setRegionId(Text value) { put(kRegionId, std::move(value)); }
void BeaconRecord::setName(Text value) { put(kName, std::move(value)); }
void BeaconRecord::setType(Text value) { put(kType, std::move(value)); }
void BeaconRecord::setEventType(Text value) { put(kEventType, std::move(value)); }
void BeaconRecord::setMsgTitle(Text value) { put(kMsgTitle, std::move(value)); }
void BeaconRecord::setMsgContent(Text value) { put(kMsgContent, std::move(value)); }
void BeaconRecord::setAppName(Text value) { put(kAppName, std::move(value)); }
void BeaconRecord::setTimezone(Text value) { put(kTimezone, std::move(value)); }
void BeaconRecord::setUpdate(Text value) { put(kUpdate, std::move(value)); }
void BeaconRecord::setActivated(bool value) {
    std::lock_guard lock(mutex_);
    activated_ = value;
}
void BeaconRecord::setClientId(Text value) { put(kClientId, std::move(value)); }
void BeaconRecord::setUuid(Text value) { put(kUuid, std::move(value)); }
void BeaconRecord::setMajor(Text value) { put(kMajor, std::move(value)); }
void BeaconRecord::setMinor(Text value) { put(kMinor, std::move(value)); }
void BeaconRecord::setManufacturer(Text value) { put(kManufacturer, std::move(value)); }
void BeaconRecord::setDistanceString(Text value) { put(kDistanceString, std::move(value)); }

void BeaconRecord::setValue(const Text& value, std::string_view key) {
    const auto* it = std::find(kTextKeys.begin(), kTextKeys.end(), key);
    if (it != kTextKeys.end()) {
        put(static_cast<TextField>(it - kTextKeys.begin()), value);
        return;
    }
    if (key == "activated") setActivated(value && Value(*value).boolValue());
}

}  // namespace quorvela
