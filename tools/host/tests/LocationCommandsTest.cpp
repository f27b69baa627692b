#include "HostTestSupport.h"
#include "model/BeaconRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Beacon.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela::host::test {
namespace {

class LocationCommandsTest : public HostFixture {
protected:
    SoftwareLocationManager& manager() {
        return dynamic_cast<SoftwareLocationManager&>(*facade->platform()->locationManager);
    }
};

TEST_F(LocationCommandsTest, FixesReachTheLibraryOnlyWhileUpdatesRun) {
    const std::string there = "location {\"latitude\":10.5,\"longitude\":-66.9}\n";
    EXPECT_EQ(run("location 10.5 -66.9"), "");
    EXPECT_EQ(run("show location"), "location null\n");
    facade->startStandardUpdates();
    idle();
    EXPECT_EQ(run("location 10.5 -66.9 12"), "");
    EXPECT_EQ(run("show location"), there);
    EXPECT_EQ(manager().location()->horizontalAccuracy, 12.0);
    EXPECT_EQ(run("authorize 2"), "");
    EXPECT_EQ(run("location 11 -66.9"), "");
    EXPECT_EQ(run("show location"), there);
    EXPECT_TRUE(log->contains("Change Authorization status, new status: 2"));
    EXPECT_EQ(run("services off"), "");
    EXPECT_FALSE(manager().locationServicesEnabled());
    EXPECT_EQ(run("services on"), "");
    EXPECT_TRUE(manager().locationServicesEnabled());
}

TEST_F(LocationCommandsTest, AuthorizationOptionIsWhatTheRequestGrants) {
    options.authorization = 4;
    table();
    facade->startStandardUpdates();
    idle();
    EXPECT_EQ(manager().authorizationStatus(), 4);
    EXPECT_FALSE(manager().isUpdatingLocation());
}

TEST_F(LocationCommandsTest, RegionsAndMonitoredSet) {
    auto workspace = WorkspaceRecord::create(facade->platform());
    workspace->setClientId("ws1");
    auto beacon = BeaconRecord::create();
    beacon->setRegionId("b1");
    beacon->setName("Door");
    beacon->setType("BEACON");
    beacon->setUuid("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0");
    workspace->setBeacons({beacon});
    facade->workspacesSubscribed()->append(workspace);
    EXPECT_EQ(run("show regions"), "regions {\"geofences\":[],\"beacons\":[]}\n");
    facade->startStandardUpdates();  // the granted authorization refreshes once
    idle();
    EXPECT_EQ(run("refresh-regions"), "");
    EXPECT_EQ(run("show regions"), "regions {\"geofences\":[],\"beacons\":[\"b1\"]}\n");
    EXPECT_EQ(run("show monitored"), "monitored [\"b1\"]\n");
    EXPECT_EQ(run("enter x-1"), "");
    EXPECT_TRUE(log->contains("Error With Region: x-1, Reason: campaignName or Workspace are NULL"));
    EXPECT_EQ(run("exit-beacon b1"), "");
    EXPECT_EQ(run("reset-regions"), "");
    EXPECT_EQ(run("show monitored"), "monitored [\"b1\"]\n");
}

TEST_F(LocationCommandsTest, BadArguments) {
    const std::pair<const char*, const char*> cases[] = {
        {"location a 2", "bad latitude: a"},
        {"location 1 2 -3", "not a valid position"},
        {"location 91 2", "not a valid position"},
        {"location 1", "usage: location <lat> <lon> [accuracy]"},
        {"services maybe", "usage: services on|off"},
        {"authorize", "usage: authorize <n>"},
        {"enter", "usage: enter <regionId>"},
        {"show monitored now", "usage: show monitored"},
        {"refresh-regions now", "usage: refresh-regions"},
        {"show", "usage: show <what> ..."},
        {"show nowhere", "unknown show: nowhere"},
        {"teleport 1 2", "unknown command: teleport"},
    };
    for (const auto& [line, text] : cases) EXPECT_EQ(run(line), std::string("error ") + text + "\n") << line;
}

class WifiCommandsTest : public HostFixture {
protected:
    void prepare(Platform& platform) override {
        platform.wifiInfo = wifi;
        monitor->addObserver(std::nullopt, [this](const std::string& name) { heard.push_back(name); });
    }
    std::shared_ptr<ManualWifiInfo> wifi = std::make_shared<ManualWifiInfo>();
    std::vector<std::string> heard;
};

TEST_F(WifiCommandsTest, WifiSetsTheCurrentNetworkWithoutPosting) {
    EXPECT_EQ(run(R"(wifi {"SSID":"home","BSSID":"aa:bb:cc:dd:ee:ff"})"), "");
    EXPECT_EQ(facade->currentSSID(), "home");
    EXPECT_EQ(facade->currentConnectionData(),
              (Value::Dictionary{{"SSID", Value("home")}, {"BSSID", Value("aa:bb:cc:dd:ee:ff")}}));
    run("wifi none");
    EXPECT_EQ(facade->currentConnectionData(), std::nullopt);
    EXPECT_TRUE(heard.empty());
    for (const char* bad : {"wifi", "wifi home", "wifi [1]", "wifi \"x\"", "wifi none extra"})
        EXPECT_EQ(run(bad), "error usage: wifi <json-object> | wifi none\n") << bad;
}

TEST_F(WifiCommandsTest, NetworkChangePostsTheGivenOrTheDefaultName) {
    run("network-change");
    run("network-change other.name");
    EXPECT_EQ(heard, (std::vector<std::string>{NetworkMonitor::kNetworkChange, "other.name"}));
    EXPECT_EQ(run("network-change a b"), "error usage: network-change [name]\n");
}

}  // namespace
}  // namespace quorvela::host::test
