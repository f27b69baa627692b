#pragma once
// The library's side of a beacon record: the same record with its setters,
// for the parsers, the stores and tests. Hosts see the read-only Beacon.

#include <memory>
#include <string>
#include <string_view>

#include "quorvela/Beacon.h"

namespace quorvela {

class BeaconRecord final : public Beacon {
public:
    BeaconRecord() = default;
    explicit BeaconRecord(const Beacon& other) : Beacon(other) {}
    static std::shared_ptr<BeaconRecord> create() { return std::make_shared<BeaconRecord>(); }

    void setRegionId(Text value);
    void setName(Text value);
    void setType(Text value);
    void setEventType(Text value);
    void setMsgTitle(Text value);
    void setMsgContent(Text value);
    void setAppName(Text value);
    void setTimezone(Text value);
    void setUpdate(Text value);
    void setActivated(bool value);
    void setClientId(Text value);
    void setUuid(Text value);
    void setMajor(Text value);
    void setMinor(Text value);
    void setManufacturer(Text value);
    void setDistanceString(Text value);

    /// Parser entry: texts stored unchanged (null included); "activated" read
    /// as a lenient boolean (null gives false). Any other key is ignored.
    void setValue(const Text& value, std::string_view key);

private:
    void put(TextField f, Text value);
};

}  // namespace quorvela
