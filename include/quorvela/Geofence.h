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

/// Held by std::shared_ptr; every accessor is safe from any thread. Read-only
/// for hosts: the library makes and fills records (a copy is the host's own).
class QUORVELA_EXPORT Geofence {
public:
    using Text = std::optional<std::string>;
    using Number = std::optional<double>;

    /// A complete geofence: `regionId` and `geoFenceId` are `identifier`,
    /// activated, other texts empty.
    static std::shared_ptr<Geofence> initWithID(const std::string& identifier, double latitude, double longitude,
                                                float radius, const std::string& eventType, const std::string& name);

    Geofence(const Geofence& other);

    Text regionId() const;
    Text name() const;
    Text type() const;
    Text eventType() const;
    Text msgTitle() const;
    Text msgContent() const;
    Text appName() const;
    Text timezone() const;
    Text update() const;
    Text clientId() const;
    Text geoFenceId() const;
    bool activated() const;
    Number latitude() const;
    Number longitude() const;
    Number radius() const;
    Number creationTime() const;
    Number lastEnterTime() const;
    Number lastExitTime() const;

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

protected:
    /// Texts empty, `type` "GEOFENCE", not activated, every number null.
    Geofence();
    Geofence& operator=(const Geofence& other);

private:
    // The library's parsers and stores fill records through it.
    friend class GeofenceRecord;

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
    Number get(NumberField f) const;

    mutable std::mutex mutex_;
    std::array<Text, kTextCount> texts_;
    std::array<Number, kNumberCount> numbers_;
    bool activated_ = false;
};

}  // namespace quorvela
