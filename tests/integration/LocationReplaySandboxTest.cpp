// A recorded walk (GPX) replayed through the software location manager: the
// library selects the geofences it fetched from the sandbox, the manager
// decides entries and exits, and the sandbox receives the region reports.
#include <gtest/gtest.h>

#include <fmt/format.h>

#include "model/WorkspaceList.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/platform/ReplayLocationSource.h"
#include "sandbox/LocationStore.h"
#include "sandbox/RegionLists.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

class LocationReplaySandboxTest : public SandboxWorld {
protected:
    void SetUp() override {
        SandboxWorld::SetUp();
        addWorkspace("ws-geo", "Walk", "geo-key");
        platform = makePlatform();
        platform->networkMonitor = std::make_shared<ManualNetworkMonitor>();
        platform->wifiInfo = std::make_shared<ManualWifiInfo>();
        startConfigured();
    }
};

TEST_F(LocationReplaySandboxTest, ReplayedWalkReportsEntriesAndExits) {
    auto [shopLat, shopLon] = eastOfStart(600.0);
    auto [parkLat, parkLon] = eastOfStart(1200.0);
    auto [farLat, farLon] = eastOfStart(50000.0);
    sandbox::RegionLists(sandbox.state())
        .set("ws-geo", sandbox::RegionLists::Kind::Geofences,
             fmt::format(R"([{{"regionId":"shop","name":"Shop","latitude":{:.8f},"longitude":{:.8f},"radius":100}},
                             {{"regionId":"park","name":"Park","latitude":{:.8f},"longitude":{:.8f},"radius":100}},
                             {{"regionId":"far","name":"Far","latitude":{:.8f},"longitude":{:.8f},"radius":100}}])",
                         shopLat, shopLon, parkLat, parkLon, farLat, farLon));

    auto workspace = makeWorkspace("ws-geo", "geo-key");
    workspace->setName("Walk");
    facade->workspacesSubscribed()->append(workspace);
    workspace->fetchGeofencesWithCompletionHandler({});
    ASSERT_TRUE(idle());
    ASSERT_EQ(workspace->getGeofences().size(), 3u);
    facade->synchronicedGeofences(workspace);

    facade->startStandardUpdates();
    ASSERT_TRUE(idle());
    auto& manager = softwareLocationManager(*platform);
    ASSERT_TRUE(manager.isUpdatingLocation());

    // A walk east every 60 m from the start to 1.5 km: through the shop, then
    // the park.
    std::string gpx = R"(<?xml version="1.0"?><gpx version="1.1" creator="test"><trk><trkseg>)";
    for (int metres = 0; metres <= 1500; metres += 60) {
        auto [lat, lon] = eastOfStart(metres);
        gpx += fmt::format(R"(<trkpt lat="{:.8f}" lon="{:.8f}"></trkpt>)", lat, lon);
    }
    gpx += "</trkseg></trk></gpx>";
    const auto path = dir.write("walk.gpx", gpx);
    std::string error;
    auto replay = ReplayLocationSource::fromFile(path.string(), 0.0, &error);
    ASSERT_TRUE(replay) << error;

    // Each fix is handled completely (refresh, events, reports) before the
    // next one, so the outcome does not depend on thread timing.
    std::weak_ptr<SoftwareLocationManager> weakManager =
        std::dynamic_pointer_cast<SoftwareLocationManager>(platform->locationManager);
    auto dispatcher = platform->dispatcher;
    replay->start([weakManager, dispatcher](const Location& fix) {
        if (auto m = weakManager.lock()) m->receiveFix(fix);
        dispatcher->waitIdle(std::chrono::seconds(20));
    });
    ASSERT_TRUE(replay->waitFinished(std::chrono::seconds(60)));
    replay->stop();
    ASSERT_TRUE(idle());

    auto last = facade->quorvelaLastLocation();
    ASSERT_TRUE(last);
    EXPECT_NEAR(last->longitude, eastOfStart(1500.0).second, 1e-9);

    std::vector<std::string> seen;
    for (const auto& report : sandbox::LocationStore(sandbox.state().database()).reports()) {
        ASSERT_EQ(report.operation, "notifyRegionEvent");
        EXPECT_EQ(report.clientId, "ws-geo");
        EXPECT_EQ(report.regionType, std::optional<std::string>("GEOFENCE"));
        EXPECT_EQ(report.deviceId, kDevice);
        EXPECT_EQ(report.appName, std::optional<std::string>("demo app"));
        seen.push_back(report.region.value_or("?") + " " + report.status.value_or("?"));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"shop ENTER", "shop EXIT", "park ENTER", "park EXIT"}));
    for (const auto& request : sandbox.requests())
        if (request.operation == "notifyRegionEvent")
            EXPECT_EQ(request.signatureOk, std::optional<bool>(true)) << request.path;

    std::vector<std::string> regionEvents;
    for (const auto& event : sandbox.analyticsEvents()) {
        auto type = event.value("eventtype").value_or("");
        if (type.rfind("GEOFENCE_", 0) == 0)
            regionEvents.push_back(type + " " + event.value("campaign_name").value_or(""));
    }
    // The two events of one entry travel as separate requests: their order
    // of arrival is not fixed.
    std::sort(regionEvents.begin(), regionEvents.end());
    EXPECT_EQ(regionEvents,
              (std::vector<std::string>{"GEOFENCE_ENTER Park", "GEOFENCE_ENTER Shop", "GEOFENCE_ENTER_EXTRA_INFO Park",
                                        "GEOFENCE_ENTER_EXTRA_INFO Shop", "GEOFENCE_EXIT Park", "GEOFENCE_EXIT Shop",
                                        "GEOFENCE_EXIT_EXTRA_INFO Park", "GEOFENCE_EXIT_EXTRA_INFO Shop"}));
    auto monitored = facade->monitoredGeoFences();
    EXPECT_EQ(monitored.size(), 3u) << "all three fit the budget";
}

}  // namespace
}  // namespace quorvela::test
