#include "location/RegionSelection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <string>
#include <unordered_set>

#include <fmt/format.h>

#include "location/GeoDistance.h"
#include "location/LocationHost.h"
#include "location/RegionEntrySet.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Beacon.h"
#include "quorvela/CreatingBeaconException.h"
#include "quorvela/CreatingGeofenceException.h"
#include "quorvela/Geofence.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"

namespace quorvela {

namespace {

// The record's own name, as the exception's user information carries it.
std::optional<std::string> recordName(const Value::Dictionary& userInfo) {
    auto it = userInfo.find("name");
    if (it == userInfo.end()) return std::nullopt;
    return it->second.optionalText();
}

}  // namespace

void RegionSelection::sortByDistance(std::vector<RegionEntry>& entries, const Location& position) {
    std::vector<double> distances(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto circle = std::dynamic_pointer_cast<CircularRegion>(entries[i].region);
        const double d = circle ? GeoDistance::between(circle->latitude(), circle->longitude(), position.latitude,
                                                       position.longitude)
                                : std::numeric_limits<double>::quiet_NaN();
        // Anything without a measurable distance goes last.
        distances[i] = std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
    }
    std::vector<std::size_t> order(entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&distances](std::size_t a, std::size_t b) { return distances[a] < distances[b]; });
    std::vector<RegionEntry> sorted;
    sorted.reserve(entries.size());
    for (std::size_t i : order) sorted.push_back(std::move(entries[i]));
    entries = std::move(sorted);
}

std::vector<RegionEntry> RegionSelection::geoFencesList() const {
    std::lock_guard lock(listsMutex_);
    return geoFencesList_;
}

std::vector<RegionEntry> RegionSelection::beaconsList() const {
    std::lock_guard lock(listsMutex_);
    return beaconsList_;
}

void RegionSelection::setGeoFencesList(const std::vector<RegionEntry>& entries) {
    auto unique = RegionEntrySet(entries).take();
    std::lock_guard lock(listsMutex_);
    geoFencesList_ = std::move(unique);
}

void RegionSelection::setBeaconsList(const std::vector<RegionEntry>& entries) {
    auto unique = RegionEntrySet(entries).take();
    std::lock_guard lock(listsMutex_);
    beaconsList_ = std::move(unique);
}

void RegionSelection::storeLists(std::vector<RegionEntry> geofences, std::vector<RegionEntry> beacons) {
    std::lock_guard lock(listsMutex_);
    geoFencesList_ = std::move(geofences);
    beaconsList_ = std::move(beacons);
}

void RegionSelection::refreshMonitoredRegionsToClosest() {
    facade_.debugMessage("Refresh Monitored Regions");
    auto list = facade_.workspacesSubscribed();
    auto lock = list->lock();
    auto manager = facade_.quorvelaLM();
    const double maximumRadius = manager ? manager->maximumRegionMonitoringDistance()
                                         : LocationManager::kMaximumRegionMonitoringDistance;

    storeLists({}, {});
    RegionEntrySet geofenceSet;
    RegionEntrySet beaconSet;
    for (const auto& workspace : list->snapshot()) {
        if (!workspace) continue;
        for (const auto& geofence : workspace->getGeofences()) {
            if (!geofence) continue;
            try {
                if (auto region = geofence->toCircularRegion(maximumRadius))
                    geofenceSet.add(RegionEntry{region, geofence->name(), RegionEntry::kDistantPast, workspace});
            } catch (const CreatingGeofenceException& error) {
                facade_.logEvent("ERROR", error.reason(), recordName(error.userInfo()), workspace);
            }
        }
        for (const auto& beacon : workspace->getBluetoothBeacons()) {
            if (!beacon) continue;
            try {
                if (auto region = beacon->toBeaconRegion())
                    beaconSet.add(RegionEntry{region, beacon->name(), RegionEntry::kDistantPast, workspace});
            } catch (const CreatingBeaconException& error) {
                facade_.logEvent("ERROR", error.reason(), recordName(error.userInfo()), workspace);
            }
        }
    }

    std::vector<RegionEntry> geofences = geofenceSet.take();
    std::vector<RegionEntry> beacons = beaconSet.take();
    const auto last = facade_.quorvelaLastLocation();
    if (last) {
        facade_.debugMessage(last->description());
        sortByDistance(geofences, *last);
    } else {
        facade_.debugMessage("Current Location is Null");
    }
    storeLists(geofences, beacons);
    if (!manager) return;

    const std::size_t G = geofences.size();
    const std::size_t B = beacons.size();
    const auto snapshot = manager->monitoredRegions();
    facade_.debugMessage(fmt::format("numGeofences: {}", G));
    facade_.debugMessage(fmt::format("numBeacons: {}", B));
    const std::size_t Bm = std::min(B, kRegionBudget);
    const std::size_t S = kRegionBudget - Bm;

    // Stopping goes by identifier, so a far region monitored with an older
    // geometry is stopped too; starting needs an equal region, so a changed
    // geometry replaces the monitored one.
    std::unordered_set<std::string> monitoredIds;
    for (const auto& region : snapshot)
        if (region) monitoredIds.insert(region->identifier());
    auto monitoredEqual = [&snapshot](const Region& region) {
        return std::any_of(snapshot.begin(), snapshot.end(),
                           [&region](const auto& monitored) { return monitored && monitored->isEqual(region); });
    };

    if (last && S < G) {
        for (std::size_t i = S; i < G; ++i)
            if (monitoredIds.count(geofences[i].identifier())) manager->stopMonitoringForRegion(geofences[i].region);
    }
    for (std::size_t i = 0; i < Bm; ++i)
        if (!monitoredEqual(*beacons[i].region)) manager->startMonitoringForRegion(beacons[i].region);
    if (last) {
        for (std::size_t i = 0; i < std::min(S, G); ++i)
            if (!monitoredEqual(*geofences[i].region)) manager->startMonitoringForRegion(geofences[i].region);
    }
}

void RegionSelection::resetMonitoringRegions() {
    if (auto manager = facade_.quorvelaLM()) {
        for (const auto& region : manager->monitoredRegions()) manager->stopMonitoringForRegion(region);
    }
    refreshMonitoredRegionsToClosest();
}

}  // namespace quorvela
