#include "DemoProbe.h"

#include <algorithm>

#include "core/QuorvelaCore.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "quorvela/platform/LocationManager.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SandboxState.h"

namespace quorvela::host {

std::vector<sandbox::LocationReport> DemoProbe::locationReports() const {
    return sandbox::LocationStore(sandbox_.state().database()).reports();
}

std::optional<sandbox::LocationReport> DemoProbe::regionReport(const std::string& regionId,
                                                               const std::string& status) const {
    for (const auto& report : locationReports()) {
        if (report.operation == "notifyRegionEvent" && report.region == regionId && report.status == status)
            return report;
    }
    return std::nullopt;
}

std::optional<sandbox::LocationReport> DemoProbe::locationAnswer(const std::string& requestId) const {
    for (const auto& report : locationReports()) {
        if (report.operation == "sendLocation" && report.requestId == requestId) return report;
    }
    return std::nullopt;
}

int DemoProbe::eventCount(const std::string& type) const {
    int count = 0;
    for (const auto& event : sandbox_.analyticsEvents()) count += event.value("eventtype") == type ? 1 : 0;
    return count;
}

int DemoProbe::requestCount(const std::string& operation) const {
    int count = 0;
    for (const auto& request : sandbox_.requests()) count += request.operation == operation ? 1 : 0;
    return count;
}

int DemoProbe::signedOkCount(const std::string& operation) const {
    int count = 0;
    for (const auto& request : sandbox_.requests())
        count += request.operation == operation && request.signatureOk == true ? 1 : 0;
    return count;
}

std::optional<sandbox::AppUser> DemoProbe::user(const std::string& userId) const {
    for (const auto& user : sandbox::RegistrationStore(sandbox_.state().database()).users())
        if (user.userId == userId) return user;
    return std::nullopt;
}

std::optional<sandbox::DeviceToken> DemoProbe::device(const std::string& pushToken) const {
    for (const auto& device : sandbox::RegistrationStore(sandbox_.state().database()).devices())
        if (device.pushToken == pushToken) return device;
    return std::nullopt;
}

std::vector<sandbox::ReceivedResponse> DemoProbe::responses() const {
    return sandbox::MessageQueue(sandbox_.state()).responses();
}

std::shared_ptr<WorkspaceRecord> DemoProbe::subscribed(const std::string& clientId) const {
    for (const auto& workspace : facade_->getSubscribedWorkspaces())
        if (workspace && workspace->clientId() == clientId) return workspace;
    return nullptr;
}

std::vector<std::string> DemoProbe::subscribedIds() const {
    std::vector<std::string> ids;
    for (const auto& workspace : facade_->getSubscribedWorkspaces())
        if (workspace) ids.push_back(workspace->clientId().value_or("(null)"));
    return ids;
}

std::vector<std::string> DemoProbe::availableIds() const {
    std::vector<std::string> ids;
    for (const auto& workspace : facade_->getAvailableWorkspaces())
        if (workspace) ids.push_back(workspace->clientId().value_or("(null)"));
    return ids;
}

std::size_t DemoProbe::inboxSize(const std::string& clientId) const {
    auto workspace = subscribed(clientId);
    return workspace ? workspace->getMessages().size() : 0;
}

bool DemoProbe::inboxHolds(const std::string& clientId, const std::string& messageId) const {
    auto workspace = subscribed(clientId);
    if (!workspace) return false;
    const auto messages = workspace->getMessages();
    return std::any_of(messages.begin(), messages.end(),
                       [&](const auto& message) { return message && message->id() == messageId; });
}

std::vector<std::string> DemoProbe::geofenceIds(const std::string& clientId) const {
    std::vector<std::string> ids;
    if (auto workspace = subscribed(clientId))
        for (const auto& geofence : workspace->getGeofences()) ids.push_back(geofence->regionId().value_or("(null)"));
    return ids;
}

std::vector<std::string> DemoProbe::beaconIds(const std::string& clientId) const {
    std::vector<std::string> ids;
    if (auto workspace = subscribed(clientId))
        for (const auto& beacon : workspace->getBeacons()) ids.push_back(beacon->regionId().value_or("(null)"));
    return ids;
}

std::vector<std::string> DemoProbe::monitored() const {
    std::vector<std::string> ids;
    for (const auto& region : locationManager_->monitoredRegions()) ids.push_back(region->identifier());
    std::sort(ids.begin(), ids.end());
    return ids;
}

bool DemoProbe::isMonitored(const std::string& regionId) const {
    const auto ids = monitored();
    return std::find(ids.begin(), ids.end(), regionId) != ids.end();
}

std::optional<std::string> DemoProbe::stored(const std::string& key) const {
    const Value value = facade_->platform()->keyValueStore->get(key);
    if (value.isNull()) return std::nullopt;
    return value.describe();
}

std::string DemoProbe::join(const std::vector<std::string>& items) {
    if (items.empty()) return "none";
    std::string out;
    for (const auto& item : items) out += (out.empty() ? "" : ", ") + item;
    return out;
}

}  // namespace quorvela::host
