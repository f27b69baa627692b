#pragma once
// Keeps the monitored regions consistent after one workspace re-fetched its
// geofences or beacons, and drops regions the service deleted. Only removes:
// new regions wait for the next region refresh.

#include <memory>
#include <optional>
#include <string>

namespace quorvela {

class LocationHost;
class WorkspaceRecord;

class RegionConsistency {
public:
    explicit RegionConsistency(LocationHost& facade) : facade_(facade) {}

    /// Puts `workspace` in place of every subscribed entry with its client id
    /// (under the list's lock), then stops monitoring unused regions.
    void synchronicedWorkspaceRegions(const std::shared_ptr<WorkspaceRecord>& workspace);
    /// Stops every monitored region whose identifier no geofence and no
    /// Bluetooth beacon of a subscribed workspace carries.
    void stopMonitoringUnusedRegions();
    /// Queues, on the global queue, the stop of every monitored region whose
    /// identifier is `msgID`, under a background task "<label> - <campaign>".
    void unregister(const std::optional<std::string>& msgID, const std::optional<std::string>& campaignName,
                    const std::string& label);

private:
    LocationHost& facade_;
};

}  // namespace quorvela
