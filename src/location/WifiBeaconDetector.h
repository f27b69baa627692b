#pragma once
// Wi-Fi beacons: watches for network changes, remembers the last Wi-Fi
// connection under "lastWIFI", and when the device joins or leaves a Wi-Fi
// network logs "WIFI_BEACON_CONNECT" / "WIFI_BEACON_DISCONNECT" and reports an
// entry or exit for the first matching Wi-Fi beacon of every joined workspace.
//
// Network changes are handled one at a time: two changes handled together
// would each read "lastWIFI" before the other wrote it and report the same
// connection twice. The public-address look-up blocks the handling job (the
// next change waits for it).

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "location/LocationReportLog.h"
#include "quorvela/Value.h"
#include "quorvela/platform/WifiInfo.h"

namespace quorvela {

class LocationHost;

class WifiBeaconDetector : public LocationReportLog {
public:
    explicit WifiBeaconDetector(LocationHost& host) : LocationReportLog(host) {}

    /// Key-value store key of the last connection text ("{}" after a
    /// disconnection).
    static constexpr const char* kLastWifiKey = "lastWIFI";
    static constexpr const char* kDisconnected = "{}";

    /// The first Wi-Fi interface's network name; "unknown" without an
    /// interface (or a null port), a connection or a name.
    static std::string findSSID(WifiInfo* wifi);
    /// The first Wi-Fi interface's information record; nothing without an
    /// interface or a connection.
    static std::optional<Value::Dictionary> findConnectionData(WifiInfo* wifi);

    /// Queues `handleNetworkChange` on the global queue and returns.
    void onNetworkChangeCallback(const std::shared_ptr<LocationHost>& facade, const std::string& name);
    /// One notification, handled on the caller's thread under a background
    /// task named by `name`; only the network-change name does anything more.
    void handleNetworkChange(const std::shared_ptr<LocationHost>& facade, const std::string& name);

private:
    void checkConnection(const std::shared_ptr<LocationHost>& facade);

    std::mutex changeMutex_;
};

}  // namespace quorvela
