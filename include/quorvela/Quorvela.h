#pragma once
// The facade: the one object through which a host application uses the
// library. One process-wide instance (`sharedInstance`); tests and special
// hosts may make independent ones with `create`.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Location.h"
#include "quorvela/QuorvelaProtocol.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class Workspace;
class WorkspaceList;
class BackgroundTaskTable;
class WifiBeaconDetector;
struct ClientCredentials;

class Quorvela : public std::enable_shared_from_this<Quorvela> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
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

    Quorvela(Passkey, std::shared_ptr<Platform> platform);
    ~Quorvela();
    Quorvela(const Quorvela&) = delete;
    Quorvela& operator=(const Quorvela&) = delete;

    const std::shared_ptr<Platform>& platform() const { return platform_; }

    // ---- Configuration and start-up ----------------------------------------

    /// Reads "Quorvela-Info.plist" from the bundle and starts the shared
    /// instance; `configureInstance` does the same for this facade.
    static void configure();
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
    ClientCredentials credentials() const;

    // ---- Persisted settings (the writers do not flush the store) -------------

    void setLogAllEventsDisabled(bool disabled);
    bool isLogAllEventsDisabled() const;
    void setGetLocationDisabled(bool disabled);
    bool isGetLocationDisabled() const;
    void setMaxStoredMessages(std::int32_t maxStoredMessages);

    // ---- State --------------------------------------------------------------

    std::shared_ptr<QuorvelaProtocol> delegate() const;
    void setDelegate(std::shared_ptr<QuorvelaProtocol> delegate);

    /// The last known position, read and replaced as a whole.
    std::optional<Location> quorvelaLastLocation() const;
    void setQuorvelaLastLocation(std::optional<Location> location);

    bool useQuorvelaSDK() const { return useQuorvelaSDK_.load(); }
    void setUseQuorvelaSDK(bool value) { useQuorvelaSDK_.store(value); }
    double lastPendingMessagesFetch() const { return lastPendingMessagesFetch_.load(); }
    void setLastPendingMessagesFetch(double value) { lastPendingMessagesFetch_.store(value); }

    /// The available and the subscribed workspace lists. Each list object
    /// carries its own lock; replacing a list replaces its lock.
    std::shared_ptr<WorkspaceList> workspaces() const;
    void setWorkspaces(std::shared_ptr<WorkspaceList> list);
    std::shared_ptr<WorkspaceList> workspacesSubscribed() const;
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

    void RegistrationStatus(bool successful, bool requireValidation, const std::optional<std::string>& message);
    /// Treats whatever "clientUserID" holds now as the unregistered user.
    void UnRegisterUserSucceeded(bool successful);
    void ActivatePhoneSucceeded(bool successful, const std::optional<std::string>& message);
    void RegistrationThrowsError(const std::string& error);
    void UnRegisterUserError(const std::string& error);
    /// Accepted and ignored.
    void ActivatePhoneReturnedError(const std::string& error);
    void deviceSubscriberSucceeded(bool successful, const std::optional<std::string>& message);
    void deviceSubscriberError(const std::string& error);

    // ---- Background tasks ---------------------------------------------------

    /// Opens a platform background task kept under `identifier` (replacing an
    /// earlier entry); the task is ended under the same identifier when the
    /// platform's time runs out.
    void beginBackgroundTaskWithIdentifier(const std::string& identifier);
    /// Ends the task kept under `identifier` (task 0 when there is none) and
    /// marks the entry invalid.
    void endBackgroundTaskWithIdentifier(const std::string& identifier);
    BackgroundTaskTable& backgroundTasks() const { return *backgroundTasks_; }

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

    // ---- Wi-Fi beacons and network changes -----------------------------------

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
    /// Observes the platform's network-change notification. Only the first
    /// call of a facade registers (once per process for the shared instance);
    /// the location updates' start calls it, as `initQuorvela` does for a
    /// ready user.
    void startNetworkChangeWatch();

    // ---- Helpers ------------------------------------------------------------

    /// Writes "QUORVELA-DEBUG: <message>" unless "LoggingDisabled" is set.
    void debugMessage(const std::string& message) const;

    /// Milliseconds since 1970-01-01 00:00 UTC by the system clock. Requests
    /// use `currentTimeStamp`, which reads the platform's (injectable) clock.
    static std::int64_t timeStamp();
    std::int64_t currentTimeStamp() const;
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
    std::shared_ptr<Platform> platform_;

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
};

/// The network-change callback for the shared instance (what the platform's
/// notification centre calls): `Quorvela::onNetworkChangeCallback`.
void onNetworkChangeCallback(const std::string& name);

}  // namespace quorvela
