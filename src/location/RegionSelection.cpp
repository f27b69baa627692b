#include "location/RegionSelection.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <unordered_set>

#include <GeographicLib/Geocentric.hpp>
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

// A rank: the distance, then the position in the built list, so equal
// distances keep their order.
struct Ranked {
    double distance;
    std::size_t position;
    bool operator<(const Ranked& other) const {
        return distance < other.distance || (distance == other.distance && position < other.position);
    }
};

// Anything without a measurable distance ranks last.
double distanceTo(const CircularRegion* circle, const Location& position) {
    const double d = circle ? GeoDistance::between(circle->latitude(), circle->longitude(), position.latitude,
                                                   position.longitude)
                            : std::numeric_limits<double>::quiet_NaN();
    return std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
}

const CircularRegion* circleOf(const RegionEntry& entry) {
    return dynamic_cast<const CircularRegion*>(entry.region.get());
}

// A point in earth-centred coordinates. The straight line between two points
// is never longer than the geodesic between them, so it bounds the distance
// from below at a fraction of the geodesic's cost.
struct EarthPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;

    static EarthPoint at(double latitude, double longitude) {
        EarthPoint p;
        GeographicLib::Geocentric::WGS84().Forward(latitude, longitude, 0.0, p.x, p.y, p.z);
        return p;
    }

    double lowerBoundTo(const EarthPoint& other) const {
        const double chord = std::hypot(x - other.x, y - other.y, z - other.z);
        // Room for rounding here and in the geodesic, which is exact to nanometres.
        return chord * (1.0 - 1e-9) - 1e-3;
    }
};

std::optional<EarthPoint> earthPointOf(const Location& position) {
    if (!std::isfinite(position.latitude) || !std::isfinite(position.longitude) || std::fabs(position.latitude) > 90.0)
        return std::nullopt;
    return EarthPoint::at(position.latitude, position.longitude);
}

// The nearest entries first, the rest in the order they were built in.
std::vector<RegionEntry> nearestFirst(std::vector<RegionEntry> entries, const std::vector<std::size_t>& nearest) {
    std::vector<bool> taken(entries.size(), false);
    std::vector<RegionEntry> arranged;
    arranged.reserve(entries.size());
    for (std::size_t i : nearest) {
        taken[i] = true;
        arranged.push_back(std::move(entries[i]));
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (!taken[i]) arranged.push_back(std::move(entries[i]));
    return arranged;
}

}  // namespace

void RegionSelection::sortByDistance(std::vector<RegionEntry>& entries, const Location& position) {
    std::vector<Ranked> ranks(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) ranks[i] = Ranked{distanceTo(circleOf(entries[i]), position), i};
    std::sort(ranks.begin(), ranks.end());
    std::vector<RegionEntry> sorted;
    sorted.reserve(entries.size());
    for (const Ranked& rank : ranks) sorted.push_back(std::move(entries[rank.position]));
    entries = std::move(sorted);
}

std::vector<std::size_t> RegionSelection::nearestByDistance(const std::vector<RegionEntry>& entries,
                                                            const Location& position, std::size_t count) {
    count = std::min(count, entries.size());
    if (count == 0) return {};
    const auto device = earthPointOf(position);
    // A max-heap of the best so far: its front is the one to beat.
    std::vector<Ranked> best;
    best.reserve(count);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const CircularRegion* circle = circleOf(entries[i]);
        const bool full = best.size() == count;
        if (full && circle && device &&
            device->lowerBoundTo(EarthPoint::at(circle->latitude(), circle->longitude())) > best.front().distance)
            continue;
        const Ranked rank{distanceTo(circle, position), i};
        if (!full) {
            best.push_back(rank);
            std::push_heap(best.begin(), best.end());
        } else if (rank < best.front()) {
            std::pop_heap(best.begin(), best.end());
            best.back() = rank;
            std::push_heap(best.begin(), best.end());
        }
    }
    std::sort(best.begin(), best.end());
    std::vector<std::size_t> positions;
    positions.reserve(best.size());
    for (const Ranked& rank : best) positions.push_back(rank.position);
    return positions;
}

std::vector<std::shared_ptr<Region>> RegionSelection::farMonitored(
    const std::vector<RegionEntry>& geofences, const std::vector<std::size_t>& nearest, const Location& position,
    const std::unordered_set<std::string>& monitoredIds) {
    std::vector<Ranked> far;
    if (!monitoredIds.empty()) {
        for (std::size_t i = 0; i < geofences.size(); ++i) {
            if (!monitoredIds.count(geofences[i].identifier())) continue;
            if (std::find(nearest.begin(), nearest.end(), i) != nearest.end()) continue;
            far.push_back(Ranked{distanceTo(circleOf(geofences[i]), position), i});
        }
    }
    std::sort(far.begin(), far.end());
    std::vector<std::shared_ptr<Region>> regions;
    regions.reserve(far.size());
    for (const Ranked& rank : far) regions.push_back(geofences[rank.position].region);
    return regions;
}

std::vector<RegionEntry> RegionSelection::geoFencesList() const {
    std::lock_guard lock(listsMutex_);
    if (unrankedFrom_) {
        sortByDistance(geoFencesList_, *unrankedFrom_);
        unrankedFrom_.reset();
    }
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
    unrankedFrom_.reset();
}

void RegionSelection::setBeaconsList(const std::vector<RegionEntry>& entries) {
    auto unique = RegionEntrySet(entries).take();
    std::lock_guard lock(listsMutex_);
    beaconsList_ = std::move(unique);
}

void RegionSelection::storeLists(std::vector<RegionEntry> geofences, std::vector<RegionEntry> beacons,
                                 std::optional<Location> unrankedFrom) {
    std::lock_guard lock(listsMutex_);
    geoFencesList_ = std::move(geofences);
    beaconsList_ = std::move(beacons);
    unrankedFrom_ = std::move(unrankedFrom);
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
        const auto workspaceGeofences = workspace->getGeofences();
        geofenceSet.reserve(geofenceSet.size() + workspaceGeofences.size());
        for (const auto& geofence : workspaceGeofences) {
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
    } else {
        facade_.debugMessage("Current Location is Null");
    }
    if (!manager) {
        storeLists(std::move(geofences), std::move(beacons), last);
        return;
    }

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

    std::vector<std::shared_ptr<Region>> stopping;
    std::vector<std::shared_ptr<Region>> starting;
    for (std::size_t i = 0; i < Bm; ++i) starting.push_back(beacons[i].region);
    if (last) {
        const auto nearest = nearestByDistance(geofences, *last, std::min(S, G));
        stopping = farMonitored(geofences, nearest, *last, monitoredIds);
        for (std::size_t i : nearest) starting.push_back(geofences[i].region);
        const bool allRanked = nearest.size() == G;
        geofences = nearestFirst(std::move(geofences), nearest);
        storeLists(std::move(geofences), std::move(beacons), allRanked ? std::nullopt : last);
    } else {
        storeLists(std::move(geofences), std::move(beacons));
    }

    for (const auto& region : stopping) manager->stopMonitoringForRegion(region);
    for (const auto& region : starting)
        if (!monitoredEqual(*region)) manager->startMonitoringForRegion(region);
}

void RegionSelection::resetMonitoringRegions() {
    if (auto manager = facade_.quorvelaLM()) {
        for (const auto& region : manager->monitoredRegions()) manager->stopMonitoringForRegion(region);
    }
    refreshMonitoredRegionsToClosest();
}

}  // namespace quorvela
