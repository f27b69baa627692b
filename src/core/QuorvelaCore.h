#pragma once
// The facade's implementation: the state the public `Quorvela` handle stands
// for, every operation of the facade (the host's and the library's own: the
// loaders' reply callbacks, the background-task table, the workspace and
// region lists) and the flows behind them. The library, its tools and its
// tests work with it; hosts see only the handle.

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
#include "quorvela/FetchResult.h"
#include "quorvela/Location.h"
#include "quorvela/Quorvela.h"
#include "quorvela/QuorvelaProtocol.h"
#include "quorvela/RegionEntry.h"
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
class Workspace;
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
    void configureInstance();
    /// Start-up after configuration (also after a registration succeeds).
    void initQuorvela();
    /// Replaces the three credentials from another property list of the
    /// bundle ("appName", "clientID", "apiClientPrivateKey"); nothing is
    /// persisted.
    void loadQuorvelaCredentials(const std::string& fileName);
    /// Replaces the four persisted settings from another property list.
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

    /// The first subscribed workspace with that client id (null matches
    /// nothing); null when there is none or the library is not configured.
    std::shared_ptr<Workspace> getWorkspaceWithClientID(const std::optional<std::string>& clientID) const;

    // ---- Registration -------------------------------------------------------
    // Each returns at once; outcomes show in the persisted keys. The reply
    // callbacks below are called by the loaders (through a small adapter
    // object per request), off the main thread.

    /// Registers the host's user (null or "" is refused with a debug line).
    void registerWithUserID(const std::optional<std::string>& userID);
    void unRegisterUser();
    /// Stores the push token's hexadecimal text and sends the device
    /// subscription when it changed; null is refused with a debug line.
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

    /// Sends an event with the subscribed workspace of this facade's client id
    /// (looked up even when analytics is off).
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName) override;
    /// Sends an event without campaign or workspace.
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo);
    /// Sends an event for `workspace` (null: this facade's client id).
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName, std::shared_ptr<Workspace> workspace) override;

    /// The device's public address as the IP echo service sees it, or nothing
    /// on any failure. Blocks the caller (at most `Quorvela::kPublicIPTimeout`).
    std::optional<std::string> publicIP() const override;

    // ---- Wi-Fi beacons and network changes -----------------------------------

    /// The current Wi-Fi network's name, or "unknown" (no Wi-Fi interface, no
    /// connection, no name). For the host; the library does not use it.
    std::string currentSSID() const;
    /// The first Wi-Fi interface's information record ("SSID", "BSSID"), or
    /// nothing without an interface or a connection.
    std::optional<Value::Dictionary> currentConnectionData() const override;
    /// A posted system notification: for the network-change name the Wi-Fi
    /// connection is checked (and Wi-Fi beacons reported) in a job on the
    /// global queue, one change at a time. Returns at once.
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
    void synchronicedWorkspace(const std::shared_ptr<Workspace>& workspace);
    /// The first subscribed default workspace (client id and key of this
    /// facade), or null.
    std::shared_ptr<Workspace> getDefaultWorkspace() const;
    /// Asks the service for the available / subscribed list; the lists are
    /// merged when the reply arrives, then `handler` gets 0 (read) or 2.
    void fetchAvailableWorkspacesWithCompletionHandler(Completion handler);
    void fetchSubscribedWorkspacesWithCompletionHandler(Completion handler);
    void getAvailableWorkspaceswithFilter(const std::optional<std::string>& filter, Completion handler);
    /// Copies of the two lists, in order.
    std::vector<std::shared_ptr<Workspace>> getAvailableWorkspaces() const;
    std::vector<std::shared_ptr<Workspace>> getSubscribedWorkspaces() const;
    void joinWorkspace(const std::shared_ptr<Workspace>& workspace, Completion handler = {});
    void leaveWorkspace(const std::shared_ptr<Workspace>& workspace, Completion handler = {});
    /// Replaces both lists with the stored ones; the subscribed workspaces
    /// get this facade as delegate.
    void loadWorkspaces();
    /// Write "Workspace-Available" / "Workspace-Subscribed" (not flushed).
    void storeWorkspaces();
    void storeSubscribedWorkspaces();
    /// True when `list` holds a workspace equal to `object`.
    bool findObject(const std::shared_ptr<Workspace>& object,
                    const std::vector<std::shared_ptr<Workspace>>& list) const;

    // (end of section: workspace management)

    // ---- Push notifications --------------------------------------------------
    // (section: push processing)

    /// A received push notification's dictionary: acts on its command and
    /// calls `handler` exactly once: 1 (no data) at once when nothing is
    /// started (no joined workspace for its "clientId", an unknown command,
    /// a geo push that is not one), otherwise 0 or 2 when the started work
    /// ends. Returns at once; the work runs on the global queue.
    void processRemoteNotification(const Value::Dictionary& payload, Completion handler);
    /// The same with the notification's JSON text; text that is not a JSON
    /// object is refused with a debug line and the handler gets 1.
    void processRemoteNotification(const std::string& payloadJson, Completion handler);
    /// Fetches the user's pending messages into their workspaces; `handler`
    /// gets 0 or 2. Not configured: only a debug line, `handler` not called.
    void getUnreadMessagesWithHandler(Completion handler);
    /// Fetches one message into the subscribed workspace of this facade's
    /// client id / into `workspace`; `handler` gets 0 or 2. Without that
    /// workspace nothing is requested and `handler` is not called.
    void processPushNotificationForMsgID(const std::optional<std::string>& msgID, Completion handler);
    void processPushNotificationForMsgID(const std::optional<std::string>& msgID,
                                         const std::shared_ptr<Workspace>& workspace, Completion handler);
    /// A workspace processed `message` (stored, replaced or deleted it).
    void pushReceived(const std::shared_ptr<Message>& message, const std::shared_ptr<Workspace>& workspace);
    // (end of section: push processing)

    // ---- Location updates and regions ----------------------------------------
    // (section: location engine)

    /// Configures the location manager and starts updates when allowed
    /// (called by `initQuorvela`); also starts the network-change watch.
    void startStandardUpdates();
    /// True when the device's services are on, "locationDisabled" is false
    /// and the application is authorized always.
    bool locationServicesAreEnabled() const override;
    /// Chooses the regions to monitor (Bluetooth beacons first, then the
    /// closest geofences, 20 in all).
    void refreshMonitoredRegionsToClosest() override;
    /// Stops monitoring every region that no geofence and no Bluetooth beacon
    /// of a subscribed workspace uses.
    void stopMonitoringUnusedRegions();
    void sendLastLocationForMsgID(const std::optional<std::string>& msgID,
                                  const std::optional<std::string>& campaignName,
                                  const std::shared_ptr<Workspace>& workspace, Completion handler);
    void processGeoPushForMsgID(const std::optional<std::string>& msgID, const std::optional<std::string>& campaignName,
                                const std::shared_ptr<Workspace>& workspace, Completion handler);
    void unregisterRegionWithMsgID(const std::optional<std::string>& msgID,
                                   const std::optional<std::string>& campaignName,
                                   const std::optional<std::string>& messageType,
                                   const std::shared_ptr<Workspace>& workspace);
    void unregisterBeaconWithMsgID(const std::optional<std::string>& msgID,
                                   const std::optional<std::string>& campaignName,
                                   const std::optional<std::string>& messageType,
                                   const std::shared_ptr<Workspace>& workspace);
    /// A geofence or beacon fetch of `workspace` outside a full
    /// synchronisation ended.
    void synchronicedGeofences(const std::shared_ptr<Workspace>& workspace);
    void synchronicedBeacons(const std::shared_ptr<Workspace>& workspace);

    // RegionEntryList (the regions chosen by the last refresh, an ordered set
    // without equal entries) comes from LocationHost.

    /// The platform's location manager (null when the platform has none).
    std::shared_ptr<LocationManager> quorvelaLM() const override { return platform_->locationManager; }
    /// Stops and restarts location updates when allowed, for a fresh fix.
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
    /// Stops monitoring every region, then refreshes.
    void resetMonitoringRegions();
    /// A snapshot of the monitored regions (geofences and beacons alike).
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
    std::shared_ptr<Workspace> getWorkspaceFromRegion(const std::shared_ptr<Region>& region) const;
    // (end of section: location engine)

    // ---- Idle ------------------------------------------------------------------
    // (section: flush)
    /// Waits until the library is idle (no job queued or running, no transfer
    /// in flight) or `timeout` passes; true when it became idle. Work set off
    /// by the work it waits for (a reply that starts further requests) is
    /// waited for too. Hosts call it before exit; false means something was
    /// still running when the time ran out. Blocks the calling thread. Do not
    /// call it from a callback of the library: the callback's own job keeps
    /// the library busy, so it can only return false once `timeout` passes.
    bool flush(std::chrono::milliseconds timeout);
    // (end of section: flush)

    // ---- Helpers ------------------------------------------------------------

    /// Writes "QUORVELA-DEBUG: <message>" unless "LoggingDisabled" is set.
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

    mutable std::mutex stateMutex_;  // delegate, last location, the two list references
    std::shared_ptr<QuorvelaProtocol> delegate_;
    std::optional<Location> quorvelaLastLocation_;
    std::shared_ptr<WorkspaceList> workspaces_;
    std::shared_ptr<WorkspaceList> workspacesSubscribed_;

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
