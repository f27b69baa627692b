#pragma once
// Region entries and exits reported by the platform: finds the geofence or
// beacon behind the region and the workspace that holds it, logs two
// analytics events (the second with a snapshot of the device's motion and
// accuracy) and reports the event to the service. A region no subscribed
// workspace knows gives one "ERROR" event and no report.
//
// The platform calls on the main queue; each event is handled as its own job
// on the global queue (events may overlap). Look-ups read a copy of the
// subscribed list.

#include <memory>
#include <optional>
#include <string>

#include "location/LocationReportLog.h"
#include "quorvela/Location.h"
#include "quorvela/platform/Region.h"

namespace quorvela {

class LocationHost;
class WorkspaceRecord;

class RegionEvents : public LocationReportLog {
public:
    explicit RegionEvents(LocationHost& facade) : LocationReportLog(facade), facade_(facade) {}

    /// "GEOFENCE" for a circular region, "BEACON" for any other.
    static std::string kindOf(const Region& region);

    /// The record that uses the region (a geofence for a circular region,
    /// any beacon otherwise) in the first subscribed workspace holding one.
    std::optional<std::string> getCampaignNameFromRegion(const Region& region) const;
    std::shared_ptr<WorkspaceRecord> getWorkspaceFromRegion(const Region& region) const;

    /// Queues the handling of an entry (true) or exit (false) and returns.
    void didEnterOrExit(const std::shared_ptr<Region>& region, bool entered);
    /// The job's body.
    void handle(const std::shared_ptr<Region>& region, bool entered);

    /// The second event's extra information for the manager's current
    /// location (zeros and "(null)" without one).
    static std::string extraInfo(const std::optional<Location>& location);

private:
    struct Match {
        bool found = false;
        std::optional<std::string> name;
        std::shared_ptr<WorkspaceRecord> workspace;
    };
    Match find(const Region& region) const;

    LocationHost& facade_;
};

}  // namespace quorvela
