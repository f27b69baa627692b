#pragma once
// Chooses the regions to monitor: rebuilds its geofence and beacon entry
// lists from every subscribed workspace, ranks the geofences by their
// distance from the last known position, gives the Bluetooth beacons the
// first claim on the platform's budget of 20 regions and the closest
// geofences the rest, and starts and stops monitoring to match.
//
// A refresh measures only the few geofences that can be among the closest;
// the rest of the stored list is ranked when someone first reads it.
//
// Runs on the caller's thread while holding the subscribed list's lock, so
// concurrent refreshes run one after the other.

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "location/RegionEntry.h"
#include "quorvela/Location.h"

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
    /// The positions of the first `count` entries sortByDistance would give,
    /// in that order, measuring only the entries that can be among them.
    static std::vector<std::size_t> nearestByDistance(const std::vector<RegionEntry>& entries, const Location& position,
                                                      std::size_t count);

    /// The entries of the last refresh: the geofences nearest first, the
    /// Bluetooth beacons in workspace order (each region once).
    std::vector<RegionEntry> geoFencesList() const;
    std::vector<RegionEntry> beaconsList() const;
    /// Replace a list; an entry whose region is already listed is left out.
    void setGeoFencesList(const std::vector<RegionEntry>& entries);
    void setBeaconsList(const std::vector<RegionEntry>& entries);

private:
    /// `unrankedFrom`: the geofences are to be ranked from there before they
    /// are read; those already ranked stand first.
    void storeLists(std::vector<RegionEntry> geofences, std::vector<RegionEntry> beacons,
                    std::optional<Location> unrankedFrom = std::nullopt);
    /// The regions of the geofences outside `nearest` that carry a monitored
    /// identifier, in ranking order.
    static std::vector<std::shared_ptr<Region>> farMonitored(const std::vector<RegionEntry>& geofences,
                                                             const std::vector<std::size_t>& nearest,
                                                             const Location& position,
                                                             const std::unordered_set<std::string>& monitoredIds);

    LocationHost& facade_;
    mutable std::mutex listsMutex_;
    mutable std::vector<RegionEntry> geoFencesList_;
    mutable std::optional<Location> unrankedFrom_;
    std::vector<RegionEntry> beaconsList_;
};

}  // namespace quorvela
