#pragma once
// What the location engine needs of the facade that owns it. The engine is a
// layer below the facade: it reaches the facade only through this interface,
// which the facade's implementation provides. Every operation may be called
// from any thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "location/RegionEntry.h"
#include "protocol/ClientCredentials.h"
#include "quorvela/Location.h"
#include "quorvela/Value.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class LocationManager;
class LocationUpdates;
class Region;
class RegionEvents;
class WorkspaceRecord;
class WorkspaceList;

class LocationHost {
public:
    using RegionEntryList = std::vector<RegionEntry>;

    virtual ~LocationHost() = default;

    /// The host itself, for jobs and requests that must keep it alive.
    virtual std::shared_ptr<LocationHost> locationHost() = 0;

    virtual const std::shared_ptr<Platform>& platform() const = 0;
    virtual std::shared_ptr<LocationManager> quorvelaLM() const = 0;
    virtual ClientCredentials credentials() const = 0;
    virtual void debugMessage(const std::string& message) const = 0;
    virtual void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                          const std::optional<std::string>& campaignName) = 0;
    virtual void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                          const std::optional<std::string>& campaignName,
                          std::shared_ptr<WorkspaceRecord> workspace) = 0;
    virtual void beginBackgroundTaskWithIdentifier(const std::string& identifier) = 0;
    virtual void endBackgroundTaskWithIdentifier(const std::string& identifier) = 0;

    /// The joined workspaces; the list object carries its own lock.
    virtual std::shared_ptr<WorkspaceList> workspacesSubscribed() const = 0;
    virtual std::optional<Location> quorvelaLastLocation() const = 0;
    virtual void setQuorvelaLastLocation(std::optional<Location> location) = 0;
    virtual bool isGetLocationDisabled() const = 0;
    virtual bool locationServicesAreEnabled() const = 0;
    virtual void refreshMonitoredRegionsToClosest() = 0;
    virtual void startNetworkChangeWatch() = 0;
    virtual std::optional<std::string> publicIP() const = 0;
    virtual std::optional<Value::Dictionary> currentConnectionData() const = 0;

    /// The engine's own long-lived flows, which the host makes and keeps.
    virtual LocationUpdates& locationUpdates() const = 0;
    virtual RegionEvents& regionEvents() const = 0;

    /// The location manager's callbacks as the host handles them.
    virtual void locationManagerDidUpdateLocations(LocationManager& manager,
                                                   const std::vector<Location>& locations) = 0;
    virtual void locationManagerDidChangeAuthorizationStatus(LocationManager& manager, int status) = 0;
    virtual void locationManagerDidEnterRegion(LocationManager& manager, const std::shared_ptr<Region>& region) = 0;
    virtual void locationManagerDidExitRegion(LocationManager& manager, const std::shared_ptr<Region>& region) = 0;
    virtual void locationManagerDidStartMonitoringForRegion(LocationManager& manager,
                                                            const std::shared_ptr<Region>& region) = 0;
    virtual void locationManagerMonitoringDidFailForRegion(LocationManager& manager,
                                                           const std::shared_ptr<Region>& region,
                                                           const std::string& error) = 0;

protected:
    LocationHost() = default;
    LocationHost(const LocationHost&) = default;
    LocationHost& operator=(const LocationHost&) = default;
};

}  // namespace quorvela
