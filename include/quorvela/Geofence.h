#pragma once
// A circular region the service asks the device to watch.

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

class CircularRegion;

/// Held by std::shared_ptr; every accessor is safe from any thread.
class QUORVELA_EXPORT Geofence {
public:
    using Text = std::optional<std::string>;
    using Number = std::optional<double>;

    /// Texts empty, `type` "GEOFENCE", not activated, every number null.
    Geofence();
    static std::shared_ptr<Geofence> create() { return std::make_shared<Geofence>(); }
    /// A complete geofence: `regionId` and `geoFenceId` are `identifier`,
    /// activated, other texts empty.
    static std::shared_ptr<Geofence> initWithID(const std::string& identifier, double latitude, double longitude,
                                                float radius, const std::string& eventType, const std::string& name);

    Geofence(const Geofence& other);
    Geofence& operator=(const Geofence& other);

    Text regionId() const;
    void setRegionId(Text value);
    Text name() const;
    void setName(Text value);
    Text type() const;
    void setType(Text value);
    Text eventType() const;
    void setEventType(Text value);
    Text msgTitle() const;
    void setMsgTitle(Text value);
    Text msgContent() const;
    void setMsgContent(Text value);
    Text appName() const;
    void setAppName(Text value);
    Text timezone() const;
    void setTimezone(Text value);
    Text update() const;
    void setUpdate(Text value);
    Text clientId() const;
    void setClientId(Text value);
    Text geoFenceId() const;
    void setGeoFenceId(Text value);
    bool activated() const;
    void setActivated(bool value);
    Number latitude() const;
    void setLatitude(Number value);
    Number longitude() const;
    void setLongitude(Number value);
    Number radius() const;
    void setRadius(Number value);
    Number creationTime() const;
    void setCreationTime(Number value);
    Number lastEnterTime() const;
    void setLastEnterTime(Number value);
    Number lastExitTime() const;
    void setLastExitTime(Number value);

    /// Parser entry: texts stored unchanged; "activated" read as a lenient
    /// boolean; "latitude" / "longitude" as the leading decimal number;
    /// "radius" as the leading integer (32-bit). A null value stores null,
    /// false or 0. Any other key is ignored.
    void setValue(const Text& value, const std::string& key);

    /// The archive dictionary; null fields are left out.
    Value::Dictionary encodeWithCoder() const;
    static std::shared_ptr<Geofence> initWithCoder(const Value::Dictionary& archive);

    /// Fifteen entries: texts (null as empty text), numbers (null as 0),
    /// "activated" as a boolean. The three times are not included.
    Value::Dictionary serialize() const;

    /// The circular region of this geofence, the radius cut to the maximum
    /// monitoring distance; notifies on entry and exit unless `eventType` is
    /// "ENTER" (entry only) or "EXIT" (exit only).
    /// Throws CreatingGeofenceException when no region can be made.
    std::shared_ptr<CircularRegion> toCircularRegion() const;
    std::shared_ptr<CircularRegion> toCircularRegion(double maximumRegionMonitoringDistance) const;

private:
    enum TextField : std::size_t {
        kRegionId,
        kName,
        kType,
        kEventType,
        kMsgTitle,
        kMsgContent,
        kAppName,
        kTimezone,
        kUpdate,
        kClientId,
        kGeoFenceId,
        kTextCount
    };
    enum NumberField : std::size_t {
        kLatitude,
        kLongitude,
        kRadius,
        kCreationTime,
        kLastEnterTime,
        kLastExitTime,
        kNumberCount
    };
    Text get(TextField f) const;
    void set(TextField f, Text value);
    Number get(NumberField f) const;
    void set(NumberField f, Number value);

    mutable std::mutex mutex_;
    std::array<Text, kTextCount> texts_;
    std::array<Number, kNumberCount> numbers_;
    bool activated_ = false;
};

}  // namespace quorvela
