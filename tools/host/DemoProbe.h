#pragma once
// What the demonstration's checks look at: the sandbox's records (requests,
// analytics events, location reports, users, responses) and the host's side
// (the facade's workspaces, the location manager's monitored regions, the
// key-value store).

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/LocationStore.h"
#include "sandbox/MessageQueue.h"
#include "sandbox/RegistrationStore.h"

namespace quorvela {
class QuorvelaCore;
class WorkspaceRecord;
class LocationManager;
namespace sandbox {
class Sandbox;
}
}  // namespace quorvela

namespace quorvela::host {

class DemoProbe {
public:
    DemoProbe(sandbox::Sandbox& sandbox, std::shared_ptr<QuorvelaCore> facade,
              std::shared_ptr<LocationManager> locationManager)
        : sandbox_(sandbox), facade_(std::move(facade)), locationManager_(std::move(locationManager)) {}

    // ---- The sandbox's side ----
    std::vector<sandbox::LocationReport> locationReports() const;
    /// The region report of `regionId` with that status ("ENTER" / "EXIT"), if one arrived.
    std::optional<sandbox::LocationReport> regionReport(const std::string& regionId, const std::string& status) const;
    /// The answer to the location request `requestId`, if one arrived.
    std::optional<sandbox::LocationReport> locationAnswer(const std::string& requestId) const;
    /// Analytics events of that type ("eventtype").
    int eventCount(const std::string& type) const;
    /// Requests the sandbox answered for that operation, and how many of them
    /// carried a valid signature.
    int requestCount(const std::string& operation) const;
    int signedOkCount(const std::string& operation) const;
    std::optional<sandbox::AppUser> user(const std::string& userId) const;
    std::optional<sandbox::DeviceToken> device(const std::string& pushToken) const;
    std::vector<sandbox::ReceivedResponse> responses() const;

    // ---- The host's side ----
    std::shared_ptr<WorkspaceRecord> subscribed(const std::string& clientId) const;
    std::vector<std::string> subscribedIds() const;
    std::vector<std::string> availableIds() const;
    std::size_t inboxSize(const std::string& clientId) const;
    bool inboxHolds(const std::string& clientId, const std::string& messageId) const;
    std::vector<std::string> geofenceIds(const std::string& clientId) const;
    std::vector<std::string> beaconIds(const std::string& clientId) const;
    /// Identifiers of the monitored regions, sorted.
    std::vector<std::string> monitored() const;
    bool isMonitored(const std::string& regionId) const;
    /// The store's value under `key`, as text ("(null)" when absent).
    std::optional<std::string> stored(const std::string& key) const;

    /// "a, b, c" ("none" for an empty list).
    static std::string join(const std::vector<std::string>& items);

private:
    sandbox::Sandbox& sandbox_;
    std::shared_ptr<QuorvelaCore> facade_;
    std::shared_ptr<LocationManager> locationManager_;
};

}  // namespace quorvela::host
