#pragma once
#include <memory>
#include <optional>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/platform/BackgroundTasks.h"
#include "quorvela/platform/Bundle.h"
#include "quorvela/platform/Clock.h"
#include "quorvela/platform/DeviceInfo.h"
#include "quorvela/platform/Dispatcher.h"
#include "quorvela/platform/HttpClient.h"
#include "quorvela/platform/InboxStore.h"
#include "quorvela/platform/KeyValueStore.h"
#include "quorvela/platform/LocationManager.h"
#include "quorvela/platform/NetworkMonitor.h"
#include "quorvela/platform/SecureStore.h"
#include "quorvela/platform/SystemLog.h"
#include "quorvela/platform/WifiInfo.h"

namespace quorvela {

class ManualBeaconSource;
class ManualLocationSource;
class SoftwareLocationManager;

/// Where the default ports keep and find things.
struct QUORVELA_EXPORT PlatformOptions {
    /// Folder of the key-value store and the secure items; default: the
    /// user's data folder ($XDG_DATA_HOME/quorvela or ~/.local/share/quorvela).
    std::optional<std::string> dataDir;
    /// The host's resource folder; default: the current folder.
    std::optional<std::string> bundleDir;
    HttpClientOptions http;
    /// The default log passes on lines at this level and above.
    LogLevel minimumLogLevel = LogLevel::Debug;
    /// Where the default log sends its lines, each with its level; none:
    /// standard error.
    SystemLog::LevelSink logSink;
};

/// The platform services the library uses, one port each. A host or a test may
/// replace any port before the first `Quorvela::configure`.
struct QUORVELA_EXPORT Platform {
    std::shared_ptr<KeyValueStore> keyValueStore;
    /// The workspaces' inboxes. Default: one row per message in the key-value
    /// store's database. Null: each inbox is one archive in `keyValueStore`
    /// (set it to null when you bring your own key-value store and want the
    /// inboxes kept there).
    std::shared_ptr<InboxStore> inboxStore;
    std::shared_ptr<SecureStore> secureStore;
    std::shared_ptr<Bundle> bundle;
    std::shared_ptr<HttpClient> http;
    std::shared_ptr<Dispatcher> dispatcher;
    std::shared_ptr<BackgroundTasks> backgroundTasks;
    std::shared_ptr<SystemLog> systemLog;
    std::shared_ptr<Clock> clock;
    std::shared_ptr<DeviceInfo> deviceInfo;
    /// Default: a SoftwareLocationManager fed by a ManualLocationSource and a
    /// ManualBeaconSource.
    std::shared_ptr<LocationManager> locationManager;
    /// Named system notifications (the network-change notification). Default:
    /// a netlink route-socket watch. May be null: nothing is observed.
    std::shared_ptr<NetworkMonitor> networkMonitor;
    /// The Wi-Fi interfaces and the current network. Default: nl80211. May be
    /// null: no interface.
    std::shared_ptr<WifiInfo> wifiInfo;

    /// The default implementations of every port.
    static std::shared_ptr<Platform> makeDefault(const PlatformOptions& options = {});

    /// The default location manager and its manual sources, through which a
    /// host hands in positions and beacon ranges; null when the port was
    /// replaced by another kind.
    std::shared_ptr<SoftwareLocationManager> softwareLocationManager() const;
    std::shared_ptr<ManualLocationSource> manualLocation() const;
    std::shared_ptr<ManualBeaconSource> manualBeacons() const;
};

}  // namespace quorvela
