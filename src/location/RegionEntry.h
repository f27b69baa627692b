#pragma once
// One region the facade considered for monitoring: the platform region built
// from a geofence or Bluetooth beacon record, the record's name, a time stamp
// (always the distant past) and the workspace that holds the record.

#include <memory>
#include <optional>
#include <string>

#include "quorvela/platform/Region.h"

namespace quorvela {

class WorkspaceRecord;

struct RegionEntry {
    /// 0001-01-01 00:00 UTC in seconds since 1970: before any real event.
    static constexpr double kDistantPast = -62135596800.0;

    std::shared_ptr<Region> region;
    std::optional<std::string> name;
    double timeStamp = kDistantPast;
    std::shared_ptr<WorkspaceRecord> workspace;

    /// All four values equal: the regions by their own equality (kind,
    /// identifier, geometry), the workspaces by client id and key.
    bool isEqual(const RegionEntry& other) const;
    bool operator==(const RegionEntry& other) const { return isEqual(other); }
    /// The region's identifier ("" without a region).
    const std::string& identifier() const;
};

}  // namespace quorvela
