#include "location/WifiBeaconDetector.h"

#include "location/LocationHost.h"
#include "location/WifiConnection.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "protocol/LocationDataLoader.h"
#include "quorvela/Beacon.h"
#include "quorvela/platform/NetworkMonitor.h"

namespace quorvela {

std::string WifiBeaconDetector::findSSID(WifiInfo* wifi) {
    auto record = findConnectionData(wifi);
    if (!record) return "unknown";
    auto ssid = record->find("SSID");
    if (ssid == record->end() || ssid->second.isNull()) return "unknown";
    return ssid->second.describe();
}

std::optional<Value::Dictionary> WifiBeaconDetector::findConnectionData(WifiInfo* wifi) {
    if (!wifi) return std::nullopt;
    auto interfaces = wifi->supportedInterfaces();
    if (interfaces.empty()) return std::nullopt;
    return wifi->currentNetworkInfo(interfaces.front());
}

void WifiBeaconDetector::onNetworkChangeCallback(const std::shared_ptr<LocationHost>& facade, const std::string& name) {
    if (!facade) return;
    facade->platform()->dispatcher->global([this, facade, name] { handleNetworkChange(facade, name); });
}

void WifiBeaconDetector::handleNetworkChange(const std::shared_ptr<LocationHost>& facade, const std::string& name) {
    facade->beginBackgroundTaskWithIdentifier(name);
    if (name == NetworkMonitor::kNetworkChange) checkConnection(facade);
    facade->endBackgroundTaskWithIdentifier(name);
}

void WifiBeaconDetector::checkConnection(const std::shared_ptr<LocationHost>& facade) {
    std::lock_guard serialised(changeMutex_);
    auto& platform = *facade->platform();
    auto& store = *platform.keyValueStore;

    const Value stored = store.get(kLastWifiKey);
    const std::optional<std::string> last = stored.isNull() ? std::nullopt : std::optional(stored.describe());
    std::optional<WifiConnection> connection;
    std::string status;

    if (auto record = facade->currentConnectionData()) {
        connection = WifiConnection::fromRecord(*record, facade->publicIP());
        std::string text = connection->text();
        if (last == text) return;
        store.set(kLastWifiKey, Value(text));
        store.synchronize();
        facade->logEvent("WIFI_BEACON_CONNECT", text, std::nullopt);
        status = "ENTER";
    } else {
        if (!last || *last == kDisconnected) return;
        store.set(kLastWifiKey, Value(kDisconnected));
        store.synchronize();
        facade->logEvent("WIFI_BEACON_DISCONNECT", *last, std::nullopt);
        status = "EXIT";
        connection = WifiConnection::fromText(*last);
        // A damaged text names no network: nothing to report.
        if (!connection) return;
    }

    float latitude = 0.0F;
    float longitude = 0.0F;
    if (auto location = facade->quorvelaLastLocation()) {
        latitude = static_cast<float>(location->latitude);
        longitude = static_cast<float>(location->longitude);
    }

    for (const auto& workspace : facade->workspacesSubscribed()->snapshot()) {
        if (!workspace) continue;
        auto beacon = connection->firstMatch(workspace->getWifiBeacons());
        if (!beacon) continue;
        auto loader = LocationDataLoader::create(facade->platform(), facade->credentials());
        loader->setDelegate(reportDelegate(facade));
        loader->fireEventInRegion(beacon->regionId(), beacon->type(), status, latitude, longitude, workspace, {});
    }
}

}  // namespace quorvela
