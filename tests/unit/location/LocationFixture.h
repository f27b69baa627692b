#pragma once
// A facade over the in-memory test platform with its software location
// manager, answering the events endpoint and both location report endpoints,
// and helpers that read back what the library sent.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <GeographicLib/Geodesic.hpp>

#include "core/QuorvelaCore.h"
#include "location/RegionEntry.h"
#include "model/BeaconRecord.h"
#include "model/GeofenceRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "protocol/PercentEncoding.h"
#include "protocol/ServiceEndpoints.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"
#include "support/CompletionResults.h"
#include "support/TestPlatform.h"

namespace quorvela::test {

/// One analytics event as the events endpoint received it.
struct SentEvent {
    std::string type;
    std::optional<std::string> extra;
    std::optional<std::string> campaign;
    std::string client;
    bool operator==(const SentEvent&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const SentEvent& e) {
    return out << "{" << e.type << " | " << e.extra.value_or("<none>") << " | " << e.campaign.value_or("<none>")
               << " | " << e.client << "}";
}

/// One notifyRegionEvent (or sendLocation) path, split into its fields.
using SentReport = std::vector<std::string>;

/// The position `metres` from (latitude, longitude) towards `azimuth` degrees.
inline std::pair<double, double> moved(double latitude, double longitude, double metres, double azimuth = 90.0) {
    double lat2 = 0.0, lon2 = 0.0;
    GeographicLib::Geodesic::WGS84().Direct(latitude, longitude, azimuth, metres, lat2, lon2);
    return {lat2, lon2};
}

inline Location fixAt(double latitude, double longitude) {
    Location fix;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.horizontalAccuracy = 5.0;
    fix.timestamp = 1700000000.0;
    return fix;
}

inline std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (std::size_t at = 0;;) {
        auto next = text.find(separator, at);
        parts.push_back(text.substr(at, next == std::string::npos ? next : next - at));
        if (next == std::string::npos) return parts;
        at = next + 1;
    }
}

/// "a b c" as {"a", "b", "c"}; table rows stay one line each.
inline std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string word; in >> word;) out.push_back(word);
    return out;
}

/// The fields at `positions`, "<missing>" past the end.
inline std::vector<std::string> pick(const SentReport& report, std::initializer_list<std::size_t> positions) {
    std::vector<std::string> out;
    for (std::size_t at : positions) out.push_back(at < report.size() ? report[at] : "<missing>");
    return out;
}

class LocationFixture : public ::testing::Test {
protected:
    static constexpr const char* kOk = "<root><successful>true</successful><message>ok</message></root>";

    LocationFixture() {
        platform->keyValueStore->set("deviceUniqueID", Value("device-1"));
        facade = QuorvelaCore::create(platform);
        facade->setClientID("main-client");
        facade->setAppName("demo");
        http().answer(eventsUrl(), FakeHttpClient::reply(""));
        http().answer(serviceBaseUrl() + "/notifyRegionEvent/", FakeHttpClient::reply(kOk));
        http().answer(serviceBaseUrl() + "/sendLocation/", FakeHttpClient::reply(kOk));
    }
    ~LocationFixture() override { idle(); }

    bool idle() { return platform->dispatcher->waitIdle(std::chrono::seconds(10)); }
    FakeHttpClient& http() { return fakeHttp(*platform); }
    CapturingLog& log() { return capturingLog(*platform); }
    SoftwareLocationManager& manager() { return softwareLocationManager(*platform); }

    std::shared_ptr<WorkspaceRecord> addWorkspace(const std::string& clientId) {
        auto workspace = WorkspaceRecord::create(platform);
        workspace->setClientId(clientId);
        workspace->setPublicKey("key-" + clientId);
        workspace->setName("name-" + clientId);
        facade->workspacesSubscribed()->append(workspace);
        return workspace;
    }

    /// No workspaces and nothing monitored, for the next row of a table.
    void clearRegions() {
        facade->setWorkspacesSubscribed(nullptr);
        for (const auto& region : manager().monitoredRegions()) manager().stopMonitoringForRegion(region);
    }

    static std::shared_ptr<Geofence> geofence(const std::string& regionId, double latitude, double longitude,
                                              double radius = 100.0, std::optional<std::string> name = {}) {
        auto g = GeofenceRecord::create();
        g->setRegionId(regionId);
        g->setName(name ? name : std::optional<std::string>("campaign " + regionId));
        g->setLatitude(latitude);
        g->setLongitude(longitude);
        g->setRadius(radius);
        return g;
    }

    static std::shared_ptr<Beacon> beacon(const std::string& regionId, const std::string& type = "BEACON",
                                          const std::string& uuid = "E2C56DB5-DFFB-48D2-B060-D0F5A71096E0") {
        auto b = BeaconRecord::create();
        b->setRegionId(regionId);
        b->setName("campaign " + regionId);
        b->setType(type);
        b->setUuid(uuid);
        b->setMajor("1");
        b->setMinor("2");
        return b;
    }

    /// The identifiers of the monitored set, sorted.
    std::vector<std::string> monitoredIds() {
        std::vector<std::string> ids;
        for (const auto& region : manager().monitoredRegions()) ids.push_back(region->identifier());
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    static std::vector<std::string> idsOf(const std::vector<RegionEntry>& entries) {
        std::vector<std::string> ids;
        for (const auto& entry : entries) ids.push_back(entry.identifier());
        return ids;
    }

    static std::string decoded(const std::string& text) { return PercentEncoding::decode(text).value_or("<bad>"); }

    std::vector<SentEvent> events() {
        std::vector<SentEvent> found;
        for (const auto& url : http().requests()) {
            if (url.rfind(eventsUrl(), 0) != 0 || url.find('?') == std::string::npos) continue;
            std::map<std::string, std::string> q;
            for (const auto& pair : split(url.substr(url.find('?') + 1), '&')) {
                auto eq = pair.find('=');
                if (eq != std::string::npos) q[pair.substr(0, eq)] = decoded(pair.substr(eq + 1));
            }
            SentEvent e{q["eventtype"], std::nullopt, std::nullopt, q["client"]};
            if (q.count("extrainfo")) e.extra = q["extrainfo"];
            if (q.count("campaign_name")) e.campaign = q["campaign_name"];
            found.push_back(e);
        }
        // Each event is its own request on the concurrent queue: they leave in
        // any order.
        std::sort(found.begin(), found.end(), [](const SentEvent& a, const SentEvent& b) {
            return std::tie(a.type, a.extra) < std::tie(b.type, b.extra);
        });
        return found;
    }

    /// The decoded parameter paths sent to `operation`, split at "/".
    std::vector<SentReport> reports(const std::string& operation = "notifyRegionEvent") {
        std::vector<SentReport> found;
        const std::string prefix = serviceBaseUrl() + "/" + operation + "/";
        for (const auto& url : http().requests()) {
            if (url.rfind(prefix, 0) != 0) continue;
            SentReport fields = split(url.substr(prefix.size()), '/');
            std::transform(fields.begin(), fields.end(), fields.begin(), decoded);
            found.push_back(fields);
        }
        return found;
    }

    TempDir dir;
    std::shared_ptr<Platform> platform = makeTestPlatform(dir);
    std::shared_ptr<QuorvelaCore> facade;
};

}  // namespace quorvela::test
