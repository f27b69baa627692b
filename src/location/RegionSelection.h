#pragma once
// Chooses the regions to monitor: rebuilds the facade's geofence and beacon
// entry lists from every subscribed workspace, ranks the geofences by their
// distance from the last known position, gives the Bluetooth beacons the
// first claim on the platform's budget of 20 regions and the closest
// geofences the rest, and starts and stops monitoring to match.
//
// Runs on the caller's thread while holding the subscribed list's lock, so
// concurrent refreshes run one after the other.

#include <cstddef>
#include <vector>

#include "quorvela/Location.h"
#include "quorvela/RegionEntry.h"

namespace quorvela {

class LocationHost;

class RegionSelection {
public:
    static constexpr std::size_t kRegionBudget = 20;

    explicit RegionSelection(LocationHost& facade) : facade_(facade) {}

    void refreshMonitoredRegionsToClosest();
    /// Stops every monitored region, then refreshes.
    void resetMonitoringRegions();

    /// Orders geofence entries by ascending distance of their region's centre
    /// from `position` (each distance computed once; equal distances keep
    /// their order).
    static void sortByDistance(std::vector<RegionEntry>& entries, const Location& position);

private:
    LocationHost& facade_;
};

}  // namespace quorvela
