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

/// Held by std::shared_ptr; every accessor is safe from any thread.
class QUORVELA_EXPORT Beacon {
public:
    using Text = std::optional<std::string>;

    /// Every text null, not activated.
    Beacon() = default;
    static std::shared_ptr<Beacon> create() { return std::make_shared<Beacon>(); }

    Beacon(const Beacon& other);
    Beacon& operator=(const Beacon& other);

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
    bool activated() const;
    void setActivated(bool value);
    Text clientId() const;
    void setClientId(Text value);
    Text uuid() const;
    void setUuid(Text value);
    Text major() const;
    void setMajor(Text value);
    Text minor() const;
    void setMinor(Text value);
    Text manufacturer() const;
    void setManufacturer(Text value);
    Text distanceString() const;
    void setDistanceString(Text value);

    /// Parser entry: texts stored unchanged (null included); "activated" read
    /// as a lenient boolean (null gives false). Any other key is ignored.
    void setValue(const Text& value, const std::string& key);

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
        kUuid,
        kMajor,
        kMinor,
        kManufacturer,
        kDistanceString,
        kTextCount
    };
    Text get(TextField f) const;
    void set(TextField f, Text value);

    mutable std::mutex mutex_;
    std::array<Text, kTextCount> texts_;
    bool activated_ = false;
};

}  // namespace quorvela
