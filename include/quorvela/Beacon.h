#pragma once
// A proximity trigger: a Bluetooth beacon ("BEACON") or a Wi-Fi network
// ("WIFI_BEACON").

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

class BeaconRegion;

/// Held by std::shared_ptr; every accessor is safe from any thread. Read-only
/// for hosts: the library makes and fills records (a copy is the host's own).
class QUORVELA_EXPORT Beacon {
public:
    using Text = std::optional<std::string>;

    Beacon(const Beacon& other);

    Text regionId() const;
    Text name() const;
    Text type() const;
    Text eventType() const;
    Text msgTitle() const;
    Text msgContent() const;
    Text appName() const;
    Text timezone() const;
    Text update() const;
    bool activated() const;
    Text clientId() const;
    Text uuid() const;
    Text major() const;
    Text minor() const;
    Text manufacturer() const;
    Text distanceString() const;

    /// The archive dictionary; null texts are left out.
    Value::Dictionary encodeWithCoder() const;
    static std::shared_ptr<Beacon> initWithCoder(const Value::Dictionary& archive);

    /// Sixteen text entries (null as empty text), "activated" as "true" or
    /// "false".
    Value::Dictionary serialize() const;

    /// The beacon region for `uuid`, `major` and `minor` (each read as a
    /// leading integer and wrapped to 16 bits) with `regionId` as identifier;
    /// notifies on entry and exit unless `eventType` is "ENTER" (entry only)
    /// or "EXIT" (exit only). Throws CreatingBeaconException when no region can
    /// be made.
    std::shared_ptr<BeaconRegion> toBeaconRegion() const;

protected:
    /// Every text null, not activated.
    Beacon() = default;
    Beacon& operator=(const Beacon& other);

private:
    // The library's parsers and stores fill records through it.
    friend class BeaconRecord;

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
        kUuid,
        kMajor,
        kMinor,
        kManufacturer,
        kDistanceString,
        kTextCount
    };
    Text get(TextField f) const;

    mutable std::mutex mutex_;
    std::array<Text, kTextCount> texts_;
    bool activated_ = false;
};

}  // namespace quorvela
