#pragma once
// The library's side of a geofence record: the same record with its setters,
// for the parsers, the stores and tests. Hosts see the read-only Geofence.

#include <memory>
#include <string>
#include <string_view>

#include "quorvela/Geofence.h"

namespace quorvela {

class GeofenceRecord final : public Geofence {
public:
    GeofenceRecord() = default;
    explicit GeofenceRecord(const Geofence& other) : Geofence(other) {}
    static std::shared_ptr<GeofenceRecord> create() { return std::make_shared<GeofenceRecord>(); }

    void setRegionId(Text value);
    void setName(Text value);
    void setType(Text value);
    void setEventType(Text value);
    void setMsgTitle(Text value);
    void setMsgContent(Text value);
    void setAppName(Text value);
    void setTimezone(Text value);
    void setUpdate(Text value);
    void setClientId(Text value);
    void setGeoFenceId(Text value);
    void setActivated(bool value);
    void setLatitude(Number value);
    void setLongitude(Number value);
    void setRadius(Number value);
    void setCreationTime(Number value);
    void setLastEnterTime(Number value);
    void setLastExitTime(Number value);

    /// Parser entry: texts stored unchanged; "activated" read as a lenient
    /// boolean; "latitude" / "longitude" as the leading decimal number;
    /// "radius" as the leading integer (32-bit). A null value stores null,
    /// false or 0. Any other key is ignored.
    void setValue(const Text& value, std::string_view key);

private:
    void put(TextField f, Text value);
    void put(NumberField f, Number value);
};

}  // namespace quorvela
