#pragma once
// The facade's implementation: the state the public `Quorvela` handle stands
// for, the host's operations (documented in quorvela/Quorvela.h, not again
// here), the library's own (the background-task table, the workspace lists)
// and the long-lived flows that do the work and take the loaders' replies.
// The library, its tools and its tests work with it; hosts see only the
// handle.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "location/LocationHost.h"
#include "location/RegionEntry.h"
#include "quorvela/FetchResult.h"
#include "quorvela/HostResults.h"
#include "quorvela/Location.h"
#include "quorvela/Quorvela.h"
#include "quorvela/QuorvelaProtocol.h"
#include "quorvela/Value.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class LocationUpdates;
class Message;
class PushProcessing;
class Quorvela;
class RegionConsistency;
class RegionEvents;
class RegionSelection;
class RegistrationFlow;
class WorkspaceRecord;
class WorkspaceManagement;
class WorkspaceList;
class BackgroundTaskTable;
class WifiBeaconDetector;
struct ClientCredentials;

class QuorvelaCore : public LocationHost, public std::enable_shared_from_this<QuorvelaCore> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // ---- Making the facade ------------------------------------------------

    /// The implementation behind `Quorvela::sharedInstance`, made on the
    /// first call (safe when several threads make it at once) over the
    /// platform given to `installPlatform`, else `Platform::makeDefault()`.
    /// It lives until the process ends.
    static std::shared_ptr<QuorvelaCore> shared();
    /// Chooses the platform of the shared instance; only before its first
    /// use. False (and nothing changes) when it exists already or `platform`
    /// is null.
    static bool installPlatform(std::shared_ptr<Platform> platform);
    /// An independent implementation over `platform` (tests, special hosts).
    static std::shared_ptr<QuorvelaCore> create(std::shared_ptr<Platform> platform);

    QuorvelaCore(Passkey, std::shared_ptr<Platform> platform);
    ~QuorvelaCore();
    QuorvelaCore(const QuorvelaCore&) = delete;
    QuorvelaCore& operator=(const QuorvelaCore&) = delete;

    /// The host's handle on this implementation: the same object for as long
    /// as anyone holds it.
    std::shared_ptr<Quorvela> facade();
    std::shared_ptr<LocationHost> locationHost() override { return shared_from_this(); }

    /// The flows behind the operations: made once with the facade, they keep
    /// no state of their own between calls.
    RegistrationFlow& registration() const { return *registration_; }
    WorkspaceManagement& workspaceManagement() const { return *workspaceManagement_; }
    PushProcessing& pushProcessing() const { return *pushProcessing_; }
    LocationUpdates& locationUpdates() const override { return *locationUpdates_; }
    RegionSelection& regionSelection() const { return *regionSelection_; }
    RegionEvents& regionEvents() const override { return *regionEvents_; }
    RegionConsistency& regionConsistency() const { return *regionConsistency_; }

    const std::shared_ptr<Platform>& platform() const override { return platform_; }

    // ---- Configuration and start-up ----------------------------------------

    /// Reads "Quorvela-Info.plist" from the bundle and starts this facade.
    StartReport configureInstance();
    /// Start-up after configuration (also after a registration succeeds).
    void initQuorvela();
    void loadQuorvelaCredentials(const std::string& fileName);
    void loadEnvironmentFromFile(const std::string& fileName);

    // ---- Credentials (in memory only) ---------------------------------------

    std::optional<std::string> appName() const;
    void setAppName(std::optional<std::string> value);
    std::optional<std::string> clientID() const;
    void setClientID(std::optional<std::string> value);
    std::optional<std::string> apiClientPrivateKey() const;
    void setApiClientPrivateKey(std::optional<std::string> value);
    /// The three credentials read together (for the request loaders).
    ClientCredentials credentials() const override;

    // ---- Persisted settings (the writers do not flush the store) -------------

    void setLogAllEventsDisabled(bool disabled);
    bool isLogAllEventsDisabled() const;
    void setGetLocationDisabled(bool disabled);
    bool isGetLocationDisabled() const override;
    void setMaxStoredMessages(std::int32_t maxStoredMessages);

    // ---- State --------------------------------------------------------------

    std::shared_ptr<QuorvelaProtocol> delegate() const;
    void setDelegate(std::shared_ptr<QuorvelaProtocol> delegate);

    /// The last known position, read and replaced as a whole.
    std::optional<Location> quorvelaLastLocation() const override;
    void setQuorvelaLastLocation(std::optional<Location> location) override;

    bool useQuorvelaSDK() const { return useQuorvelaSDK_.load(); }
    void setUseQuorvelaSDK(bool value) { useQuorvelaSDK_.store(value); }
    double lastPendingMessagesFetch() const { return lastPendingMessagesFetch_.load(); }
    void setLastPendingMessagesFetch(double value) { lastPendingMessagesFetch_.store(value); }

    /// The available and the subscribed workspace lists. Each list object
    /// carries its own lock; replacing a list replaces its lock.
    std::shared_ptr<WorkspaceList> workspaces() const;
    void setWorkspaces(std::shared_ptr<WorkspaceList> list);
    std::shared_ptr<WorkspaceList> workspacesSubscribed() const override;
    void setWorkspacesSubscribed(std::shared_ptr<WorkspaceList> list);

    std::shared_ptr<WorkspaceRecord> getWorkspaceWithClientID(const std::optional<std::string>& clientID) const;

    // ---- Registration -------------------------------------------------------
    // Each returns at once; outcomes show in the persisted keys. The reply
    // callbacks below are called by the loaders (through a small adapter
    // object per request), off the main thread.

    void registerWithUserID(const std::optional<std::string>& userID, RegistrationCompletion completion = {});
    void unRegisterUser(RegistrationCompletion completion = {});
    void registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token);
    void deviceSubscriberWithUniqueID();
    void registerDialog();
    /// Hooks for asking the user; they present nothing.
    void showPhoneNumberEntryAlert() {}
    void showValidationCodeEntryAlert() {}

    // ---- Background tasks ---------------------------------------------------

    /// Opens a platform background task kept under `identifier` (replacing an
    /// earlier entry); the task is ended under the same identifier when the
    /// platform's time runs out.
    void beginBackgroundTaskWithIdentifier(const std::string& identifier) override;
    /// Ends the task kept under `identifier` (task 0 when there is none) and
    /// marks the entry invalid.
    void endBackgroundTaskWithIdentifier(const std::string& identifier) override;
    BackgroundTaskTable& backgroundTasks() const { return *backgroundTasks_; }

    // ---- Analytics ----------------------------------------------------------

    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName) override;
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo);
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName, std::shared_ptr<WorkspaceRecord> workspace) override;

    /// The device's public address as the IP echo service sees it, or nothing
    /// on any failure. Blocks the caller (at most `Quorvela::kPublicIPTimeout`).
    std::optional<std::string> publicIP() const override;

    // ---- Wi-Fi beacons and network changes -----------------------------------

    std::string currentSSID() const;
    std::optional<Value::Dictionary> currentConnectionData() const override;
    void onNetworkChangeCallback(const std::string& name);
    /// Observes the platform's network-change notification. Only the first
    /// call of a facade registers (once per process for the shared instance);
    /// the location updates' start calls it, as `initQuorvela` does for a
    /// ready user.
    void startNetworkChangeWatch() override;

    /// The completion handler of a request or a push: the platform's
    /// background-fetch result (0 new data, 1 no data, 2 failed). Empty: none.
    using Completion = FetchCompletion;

    // ---- Workspaces ---------------------------------------------------------
    // (section: workspace management)

    /// Start-up of the workspaces for a ready user (called by `initQuorvela`).
    void initWorkspaces();
    /// A workspace of the subscribed list finished its full synchronisation.
    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace);
    std::shared_ptr<WorkspaceRecord> getDefaultWorkspace() const;
    void fetchAvailableWorkspacesWithCompletionHandler(Completion handler);
    void fetchSubscribedWorkspacesWithCompletionHandler(Completion handler);
    void getAvailableWorkspaceswithFilter(const std::optional<std::string>& filter, Completion handler);
    std::vector<std::shared_ptr<WorkspaceRecord>> getAvailableWorkspaces() const;
    std::vector<std::shared_ptr<WorkspaceRecord>> getSubscribedWorkspaces() const;
    void joinWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler = {});
    void leaveWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler = {});
    /// Replaces both lists with the stored ones; the subscribed workspaces
    /// get this facade as delegate.
    void loadWorkspaces();
    /// Write "Workspace-Available" / "Workspace-Subscribed" (not flushed).
    void storeWorkspaces();
    void storeSubscribedWorkspaces();
    /// True when `list` holds a workspace equal to `object`.
    bool findObject(const std::shared_ptr<WorkspaceRecord>& object,
                    const std::vector<std::shared_ptr<WorkspaceRecord>>& list) const;

    // (end of section: workspace management)

    // ---- Push notifications --------------------------------------------------
    // (section: push processing)

    void processRemoteNotification(const Value::Dictionary& payload, Completion handler);
    void processRemoteNotification(const std::string& payloadJson, Completion handler);
    void getUnreadMessagesWithHandler(Completion handler);
    void processPushNotificationForMsgID(const std::optional<std::string>& msgID, Completion handler);
    void processPushNotificationForMsgID(const std::optional<std::string>& msgID,
                                         const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler);
    /// A workspace processed `message` (stored, replaced or deleted it).
    void pushReceived(const std::shared_ptr<Message>& message, const std::shared_ptr<WorkspaceRecord>& workspace);
    // (end of section: push processing)

    // ---- Location updates and regions ----------------------------------------
    // (section: location engine)

    /// Configures the location manager and starts updates when allowed
    /// (called by `initQuorvela`); also starts the network-change watch.
    void startStandardUpdates();
    bool locationServicesAreEnabled() const override;
    void refreshMonitoredRegionsToClosest() override;
    /// Stops monitoring every region that no geofence and no Bluetooth beacon
    /// of a subscribed workspace uses.
    void stopMonitoringUnusedRegions();
    void sendLastLocationForMsgID(const std::optional<std::string>& msgID,
                                  const std::optional<std::string>& campaignName,
                                  const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler);
    void processGeoPushForMsgID(const std::optional<std::string>& msgID, const std::optional<std::string>& campaignName,
                                const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler);
    void unregisterRegionWithMsgID(const std::optional<std::string>& msgID,
                                   const std::optional<std::string>& campaignName,
                                   const std::optional<std::string>& messageType,
                                   const std::shared_ptr<WorkspaceRecord>& workspace);
    void unregisterBeaconWithMsgID(const std::optional<std::string>& msgID,
                                   const std::optional<std::string>& campaignName,
                                   const std::optional<std::string>& messageType,
                                   const std::shared_ptr<WorkspaceRecord>& workspace);
    /// A geofence or beacon fetch of `workspace` outside a full
    /// synchronisation ended.
    void synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>& workspace);
    void synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>& workspace);

    // RegionEntryList (the regions chosen by the last refresh, an ordered set
    // without equal entries) comes from LocationHost.

    /// The platform's location manager (null when the platform has none).
    std::shared_ptr<LocationManager> quorvelaLM() const override { return platform_->locationManager; }
    void forceUpdateLocation();
    /// The location manager's callbacks (the platform calls them on the main
    /// queue; the facade is the manager's delegate after
    /// `startStandardUpdates`). Each returns at once or runs briefly.
    void locationManagerDidUpdateLocations(LocationManager& manager, const std::vector<Location>& locations) override;
    void locationManagerDidChangeAuthorizationStatus(LocationManager& manager, int status) override;
    void locationManagerDidEnterRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override;
    void locationManagerDidExitRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override;
    void locationManagerDidStartMonitoringForRegion(LocationManager& manager,
                                                    const std::shared_ptr<Region>& region) override;
    void locationManagerMonitoringDidFailForRegion(LocationManager& manager, const std::shared_ptr<Region>& region,
                                                   const std::string& error) override;
    void resetMonitoringRegions();
    std::vector<std::shared_ptr<Region>> monitoredGeoFences() const;
    /// Copies of the two entry lists; the setters drop entries equal to an
    /// earlier one.
    RegionEntryList geoFencesList() const;
    void setGeoFencesList(const RegionEntryList& entries);
    RegionEntryList beaconsList() const;
    void setBeaconsList(const RegionEntryList& entries);
    /// The name of the record behind a region, and the subscribed workspace
    /// holding it (the first in list order); none when no record uses it.
    std::optional<std::string> getCampaignNameFromRegion(const std::shared_ptr<Region>& region) const;
    std::shared_ptr<WorkspaceRecord> getWorkspaceFromRegion(const std::shared_ptr<Region>& region) const;
    // (end of section: location engine)

    // ---- Idle ------------------------------------------------------------------
    // (section: flush)
    bool flush(std::chrono::milliseconds timeout);
    bool close(std::chrono::milliseconds timeout);
    // (end of section: flush)

    // ---- Helpers ------------------------------------------------------------

    void debugMessage(const std::string& message) const override;

    /// Milliseconds since 1970 by the platform's (injectable) clock.
    std::int64_t currentTimeStamp() const;

private:
    std::shared_ptr<Platform> platform_;
    std::mutex facadeMutex_;
    std::weak_ptr<Quorvela> facade_;

    mutable std::mutex credentialsMutex_;
    std::optional<std::string> appName_;
    std::optional<std::string> clientID_;
    std::optional<std::string> apiClientPrivateKey_;

    mutable std::mutex stateMutex_;  // delegate, last location
    std::shared_ptr<QuorvelaProtocol> delegate_;
    std::optional<Location> quorvelaLastLocation_;

    std::shared_ptr<BackgroundTaskTable> backgroundTasks_;
    std::atomic<bool> useQuorvelaSDK_{false};
    std::atomic<double> lastPendingMessagesFetch_{0.0};
    std::shared_ptr<WifiBeaconDetector> wifiBeaconDetector_;
    std::once_flag networkWatchOnce_;

    const std::unique_ptr<RegistrationFlow> registration_;
    const std::unique_ptr<WorkspaceManagement> workspaceManagement_;
    const std::unique_ptr<PushProcessing> pushProcessing_;
    const std::unique_ptr<LocationUpdates> locationUpdates_;
    const std::unique_ptr<RegionSelection> regionSelection_;
    const std::unique_ptr<RegionEvents> regionEvents_;
    const std::unique_ptr<RegionConsistency> regionConsistency_;
};

}  // namespace quorvela
