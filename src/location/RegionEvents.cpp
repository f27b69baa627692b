#include "location/RegionEvents.h"

#include <cmath>
#include <ctime>

#include <fmt/chrono.h>
#include <fmt/format.h>

#include "location/LocationHost.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "protocol/LocationDataLoader.h"
#include "protocol/SignedUrl.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"

namespace quorvela {

namespace {

// A time stamp in seconds since 1970 as "2026-12-06 13:27:27 +0000".
std::string dateText(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1e11) return "(null)";
    const auto t = static_cast<std::time_t>(std::floor(seconds));
    std::tm utc{};
    if (!gmtime_r(&t, &utc)) return "(null)";
    return fmt::format("{:%Y-%m-%d %H:%M:%S} +0000", utc);
}

}  // namespace

std::string RegionEvents::kindOf(const Region& region) {
    return region.kind() == Region::Kind::Circular ? "GEOFENCE" : "BEACON";
}

RegionEvents::Match RegionEvents::find(const Region& region) const {
    const std::string& id = region.identifier();
    const bool circular = region.kind() == Region::Kind::Circular;
    for (const auto& workspace : facade_.workspacesSubscribed()->snapshot()) {
        if (!workspace) continue;
        if (circular) {
            for (const auto& geofence : workspace->getGeofences())
                if (geofence && geofence->regionId() == id) return Match{true, geofence->name(), workspace};
        } else {
            // Every beacon, Wi-Fi ones included.
            for (const auto& beacon : workspace->getBeacons())
                if (beacon && beacon->regionId() == id) return Match{true, beacon->name(), workspace};
        }
    }
    return Match{};
}

std::optional<std::string> RegionEvents::getCampaignNameFromRegion(const Region& region) const {
    return find(region).name;
}

std::shared_ptr<WorkspaceRecord> RegionEvents::getWorkspaceFromRegion(const Region& region) const {
    return find(region).workspace;
}

std::string RegionEvents::extraInfo(const std::optional<Location>& location) {
    if (!location) {
        return "course: 0.000000, speed: 0.000000, altitude: 0.000000, floor: (null), horizontalAccuracy: 0.000000, "
               "verticalAccuracy: 0.000000, timestamp: (null), description: (null)";
    }
    return fmt::format(
        "course: {:.6f}, speed: {:.6f}, altitude: {:.6f}, floor: {}, horizontalAccuracy: {:.6f}, "
        "verticalAccuracy: {:.6f}, timestamp: {}, description: {}",
        location->course, location->speed, location->altitude,
        location->floor ? fmt::format("<floor level {}>", *location->floor) : std::string("(null)"),
        location->horizontalAccuracy, location->verticalAccuracy, dateText(location->timestamp),
        location->description());
}

void RegionEvents::didEnterOrExit(const std::shared_ptr<Region>& region, bool entered) {
    if (!region) return;
    auto facade = facade_.locationHost();
    facade_.platform()->dispatcher->global(
        [facade, region, entered] { facade->regionEvents().handle(region, entered); });
}

void RegionEvents::handle(const std::shared_ptr<Region>& region, bool entered) {
    const std::string task = std::string(entered ? "Region Enter" : "Region Exit") + " - " + region->identifier();
    facade_.beginBackgroundTaskWithIdentifier(task);
    const std::string kind = kindOf(*region);
    const std::string suffix = entered ? "_ENTER" : "_EXIT";
    const auto match = find(*region);
    if (!match.name || !match.workspace) {
        const std::string text = fmt::format("Error With Region: {}, Reason: {}", region->identifier(),
                                             "campaignName or Workspace are NULL");
        facade_.logEvent("ERROR", text, match.name);
        facade_.debugMessage(text);
        facade_.endBackgroundTaskWithIdentifier(task);
        return;
    }
    facade_.logEvent(kind + suffix, region->identifier(), match.name, match.workspace);
    auto manager = facade_.quorvelaLM();
    const std::optional<Location> current = manager ? manager->location() : std::nullopt;
    facade_.logEvent(kind + suffix + "_EXTRA_INFO", extraInfo(current), match.name, match.workspace);

    auto loader = LocationDataLoader::create(facade_.platform(), facade_.credentials());
    loader->setDelegate(reportDelegate(facade_.locationHost()));
    const float latitude = current ? static_cast<float>(current->latitude) : 0.0F;
    const float longitude = current ? static_cast<float>(current->longitude) : 0.0F;
    loader->fireEventInRegion(region->identifier(), kind, entered ? "ENTER" : "EXIT", latitude, longitude,
                              match.workspace, {});
    facade_.endBackgroundTaskWithIdentifier(task);
}

}  // namespace quorvela
