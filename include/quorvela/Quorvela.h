#pragma once
// The facade: the one object through which a host application uses the
// library. One process-wide instance (`sharedInstance`); tests and special
// hosts may make independent ones with `create`. Every operation may be
// called from any thread; those that talk to the service return at once and
// report through the delegate or the completion handler, off the caller's
// thread.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Export.h"
#include "quorvela/FetchResult.h"
#include "quorvela/HostResults.h"
#include "quorvela/Location.h"
#include "quorvela/QuorvelaOptions.h"
#include "quorvela/QuorvelaProtocol.h"
#include "quorvela/Value.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class QuorvelaCore;
class Region;
class Workspace;

class QUORVELA_EXPORT Quorvela {
public:
    /// A completion handler: the platform's background-fetch result (a
    /// `FetchResult`'s number; `fetchResultOf` reads it). Empty: none.
    using Completion = FetchCompletion;
    using Options = QuorvelaOptions;

    // ---- Making the facade ------------------------------------------------

    /// The process-wide facade, made on the first call (safe when several
    /// threads make that first call at once). Its platform is the one given to
    /// `installPlatform`, else `Platform::makeDefault()`. It lives until the
    /// process ends.
    static std::shared_ptr<Quorvela> sharedInstance();
    /// Chooses the platform of the shared instance; only before its first
    /// use. False (and nothing changes) when the instance already exists or
    /// `platform` is null.
    static bool installPlatform(std::shared_ptr<Platform> platform);
    /// An independent facade over `platform` (for tests and special hosts).
    static std::shared_ptr<Quorvela> create(std::shared_ptr<Platform> platform);
    /// A facade over the default ports made with `options.platform`, its
    /// delegate already set; `start` it next.
    static std::shared_ptr<Quorvela> create(const Options& options);

    /// Made by the library (`sharedInstance`, `create`) around its state.
    explicit Quorvela(std::shared_ptr<QuorvelaCore> core);
    ~Quorvela();
    Quorvela(const Quorvela&) = delete;
    Quorvela& operator=(const Quorvela&) = delete;

    const std::shared_ptr<Platform>& platform() const;

    // ---- Configuration and start-up ----------------------------------------

    /// Reads "Quorvela-Info.plist" from the bundle and starts the shared
    /// instance; `configureInstance` does the same for this facade.
    static void configure();
    void configureInstance();
    /// Configures this facade as `configureInstance` does and says what the
    /// file held. Set the delegate first: `QuorvelaReady` may come before
    /// this returns.
    StartReport start();
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

    // ---- Persisted settings (the writers do not flush the store) -------------

    void setLogAllEventsDisabled(bool disabled);
    bool isLogAllEventsDisabled() const;
    void setGetLocationDisabled(bool disabled);
    bool isGetLocationDisabled() const;
    void setMaxStoredMessages(std::int32_t maxStoredMessages);

    // ---- The delegate and the last position ----------------------------------

    std::shared_ptr<QuorvelaProtocol> delegate() const;
    void setDelegate(std::shared_ptr<QuorvelaProtocol> delegate);
    /// The last known position.
    std::optional<Location> quorvelaLastLocation() const;

    // ---- Registration -------------------------------------------------------
    // Each returns at once; outcomes show in the persisted keys.

    /// Registers the host's user (null or "" is refused with a debug line);
    /// `completion` hears how it ended (Unchanged at once when this user is
    /// already registered and validated).
    void registerWithUserID(const std::optional<std::string>& userID, RegistrationCompletion completion = {});
    void unRegisterUser(RegistrationCompletion completion = {});
    /// Stores the push token's hexadecimal text and sends the device
    /// subscription when it changed; null is refused with a debug line.
    void registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token);
    void deviceSubscriberWithUniqueID();
    void registerDialog();

    // ---- Push notifications --------------------------------------------------

    /// A received push notification's dictionary: acts on its command and
    /// calls `handler` exactly once: 1 (no data) at once when nothing is
    /// started (no joined workspace for its "clientId", an unknown command,
    /// a geo push that is not one), otherwise 0 or 2 when the started work
    /// ends. Returns at once; the work runs on the global queue. The fetched
    /// messages reach the delegate before `handler`, on the same thread.
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

    // ---- Workspaces ---------------------------------------------------------

    /// The first subscribed workspace with that client id (null matches
    /// nothing); null when there is none or the library is not configured.
    std::shared_ptr<Workspace> getWorkspaceWithClientID(const std::optional<std::string>& clientID) const;
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

    // ---- Location and regions -----------------------------------------------

    /// True when the device's services are on, "locationDisabled" is false
    /// and the application is authorized always.
    bool locationServicesAreEnabled() const;
    /// Stops and restarts location updates when allowed, for a fresh fix.
    void forceUpdateLocation();
    /// Chooses the regions to monitor (Bluetooth beacons first, then the
    /// closest geofences, 20 in all).
    void refreshMonitoredRegionsToClosest();
    /// Stops monitoring every region, then refreshes.
    void resetMonitoringRegions();
    /// A snapshot of the monitored regions (geofences and beacons alike).
    std::vector<std::shared_ptr<Region>> monitoredGeoFences() const;

    // ---- Wi-Fi and network changes -------------------------------------------

    /// The current Wi-Fi network's name, or "unknown" (no Wi-Fi interface, no
    /// connection, no name). For the host; the library does not use it. The
    /// static forms use the shared instance.
    static std::string findSSID();
    std::string currentSSID() const;
    /// The first Wi-Fi interface's information record ("SSID", "BSSID"), or
    /// nothing without an interface or a connection.
    static std::optional<Value::Dictionary> findConnectionData();
    std::optional<Value::Dictionary> currentConnectionData() const;
    /// A posted system notification: for the network-change name the Wi-Fi
    /// connection is checked (and Wi-Fi beacons reported) in a job on the
    /// global queue, one change at a time. Returns at once.
    void onNetworkChangeCallback(const std::string& name);

    // ---- Analytics ----------------------------------------------------------

    /// Sends an event with the subscribed workspace of this facade's client id
    /// (looked up even when analytics is off).
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName);
    /// Sends an event without campaign or workspace.
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo);
    /// Sends an event for `workspace` (null: this facade's client id).
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName, std::shared_ptr<Workspace> workspace);
    /// The device's public address as the IP echo service sees it, or nothing
    /// on any failure. Blocks the caller (at most `kPublicIPTimeout`). The
    /// static form uses the shared instance.
    static std::optional<std::string> getPublicIP();
    std::optional<std::string> publicIP() const;
    static constexpr std::chrono::seconds kPublicIPTimeout{60};

    // ---- Idle -----------------------------------------------------------------

    /// Waits until the library is idle (no job queued or running, no transfer
    /// in flight) or `timeout` passes; true when it became idle. Work set off
    /// by the work it waits for (a reply that starts further requests) is
    /// waited for too. Hosts call it before exit; false means something was
    /// still running when the time ran out. Blocks the calling thread. Do not
    /// call it from a callback of the library: the callback's own job keeps
    /// the library busy, so it can only return false once `timeout` passes.
    bool flush(std::chrono::milliseconds timeout);
    /// Before exit: waits as `flush` does, then writes the stores to disk;
    /// true when all work finished and was stored. The facade stays usable.
    bool close(std::chrono::milliseconds timeout);

    // ---- Helpers ------------------------------------------------------------

    /// Writes "QUORVELA-DEBUG: <message>" unless "LoggingDisabled" is set.
    void debugMessage(const std::string& message) const;
    /// Milliseconds since 1970-01-01 00:00 UTC by the system clock.
    static std::int64_t timeStamp();
    /// The millisecond rule for `seconds` since 1970: whole seconds times 1000
    /// plus the truncated milliseconds of the fraction.
    static std::int64_t timeStampFor(double seconds);
    /// "3.6.0".
    static std::string getSDKVersionString();
    /// The request signature of `text` under `key` (HMAC-SHA256, 64
    /// hexadecimal digits); nothing when either holds non-ASCII bytes.
    static std::optional<std::string> encodeString(const std::string& text, const std::string& key);
    /// Lower-case hexadecimal text of the bytes.
    static std::string NSDataToNSString(const std::vector<std::uint8_t>& bytes);

private:
    const std::shared_ptr<QuorvelaCore> core_;
};

/// The network-change callback for the shared instance (what the platform's
/// notification centre calls): `Quorvela::onNetworkChangeCallback`.
QUORVELA_EXPORT void onNetworkChangeCallback(const std::string& name);

}  // namespace quorvela
