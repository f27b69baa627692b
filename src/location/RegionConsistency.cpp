#include "location/RegionConsistency.h"

#include <unordered_set>

#include "location/LocationHost.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "protocol/SignedUrl.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"

namespace quorvela {

void RegionConsistency::synchronicedWorkspaceRegions(const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (workspace) {
        const auto clientId = workspace->clientId();
        auto list = facade_.workspacesSubscribed();
        auto lock = list->lock();
        // Every entry with the client id, not only the first; a missing id
        // matches nothing.
        for (auto& entry : list->items())
            if (clientId && entry && entry->clientId() == clientId) entry = workspace;
    }
    stopMonitoringUnusedRegions();
}

void RegionConsistency::stopMonitoringUnusedRegions() {
    auto manager = facade_.quorvelaLM();
    if (!manager) return;
    const auto monitored = manager->monitoredRegions();
    if (monitored.empty()) return;
    std::unordered_set<std::string> used;
    for (const auto& workspace : facade_.workspacesSubscribed()->snapshot()) {
        if (!workspace) continue;
        for (const auto& geofence : workspace->getGeofences())
            if (geofence && geofence->regionId()) used.insert(*geofence->regionId());
        for (const auto& beacon : workspace->getBluetoothBeacons())
            if (beacon && beacon->regionId()) used.insert(*beacon->regionId());
    }
    for (const auto& region : monitored)
        if (region && !used.count(region->identifier())) manager->stopMonitoringForRegion(region);
}

void RegionConsistency::unregister(const std::optional<std::string>& msgID,
                                   const std::optional<std::string>& campaignName, const std::string& label) {
    auto facade = facade_.locationHost();
    const std::string task = label + " - " + SignedUrl::render(campaignName);
    facade_.platform()->dispatcher->global([facade, msgID, task] {
        facade->beginBackgroundTaskWithIdentifier(task);
        if (auto manager = facade->quorvelaLM(); manager && msgID) {
            for (const auto& region : manager->monitoredRegions())
                if (region && region->identifier() == *msgID) manager->stopMonitoringForRegion(region);
        }
        facade->endBackgroundTaskWithIdentifier(task);
    });
}

}  // namespace quorvela
