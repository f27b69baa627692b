// Keeping the monitored set consistent after a workspace re-fetched its
// geofences or beacons, and dropping regions by push.
#include "LocationFixture.h"
#include "core/BackgroundTaskTable.h"

namespace quorvela::test {
namespace {

class RegionConsistencyTest : public LocationFixture {
protected:
    void monitor(const std::vector<std::string>& ids) {
        for (const auto& id : ids) {
            if (id.rfind("b", 0) == 0)
                manager().startMonitoringForRegion(
                    BeaconRegion::make(SoftwareLocationManager::kUnknownBeaconUuid, 0, 0, id));
            else manager().startMonitoringForRegion(CircularRegion::make(1.0, 1.0, 10.0, id));
        }
    }
    void reset() {
        facade->setWorkspacesSubscribed(nullptr);
        for (const auto& region : manager().monitoredRegions()) manager().stopMonitoringForRegion(region);
    }
};

TEST_F(RegionConsistencyTest, SynchronisationTable) {
    struct Row {
        const char* name;
        std::vector<std::string> subscribed;      // client ids, in order
        std::vector<std::string> otherGeofences;  // held by the workspace "other"
        std::string synchronised;                 // client id of the fetched workspace
        std::vector<std::string> fetchedGeofences;
        std::vector<std::string> fetchedBeacons;  // "b..." Bluetooth, "w..." Wi-Fi
        bool beaconsFetched;
        std::vector<std::string> monitoredBefore;
        std::vector<std::string> monitoredAfter;
        std::vector<bool> replaced;  // per subscribed entry
    };
    const std::vector<Row> rows = {
        {"deleted geofence stops only its region",
         {"ws", "other"},
         {"g-other"},
         "ws",
         {"g1"},
         {"b1"},
         false,
         {"g1", "g2", "b1", "g-other"},
         {"b1", "g-other", "g1"},
         {true, false}},
        {"beacon fetch prunes geofences too", {"ws"}, {}, "ws", {"g1"}, {}, true, {"g1", "g9", "b1"}, {"g1"}, {true}},
        {"Wi-Fi beacons keep no region", {"ws"}, {}, "ws", {}, {"wb1"}, true, {"wb1"}, {}, {true}},
        {"client id of nobody: no replacement, pruning runs",
         {"other"},
         {"g-other"},
         "ws",
         {"g1"},
         {},
         false,
         {"g1", "g-other"},
         {"g-other"},
         {false}},
        {"both entries with the client id are replaced",
         {"ws", "other", "ws"},
         {},
         "ws",
         {"g1"},
         {},
         false,
         {},
         {},
         {true, false, true}},
        {"identifiers compare exactly", {"ws"}, {}, "ws", {"g1"}, {}, false, {"G1", "g1"}, {"g1"}, {true}},
        {"a new geofence is not started here", {"ws"}, {}, "ws", {"g1", "g-new"}, {}, false, {"g1"}, {"g1"}, {true}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        reset();
        std::vector<std::shared_ptr<WorkspaceRecord>> before;
        for (const auto& id : row.subscribed) {
            auto ws = addWorkspace(id);
            if (id == "other") {
                WorkspaceRecord::GeofenceList list;
                for (const auto& g : row.otherGeofences) list.push_back(geofence(g, 1.0, 1.0));
                ws->setGeofences(list);
            }
            before.push_back(ws);
        }
        auto fetched = WorkspaceRecord::create(platform);
        fetched->setClientId(row.synchronised);
        fetched->setPublicKey("new key");
        WorkspaceRecord::GeofenceList geofences;
        for (const auto& g : row.fetchedGeofences) geofences.push_back(geofence(g, 1.0, 1.0));
        fetched->setGeofences(geofences);
        WorkspaceRecord::BeaconList beacons;
        for (const auto& b : row.fetchedBeacons) beacons.push_back(beacon(b, b[0] == 'w' ? "WIFI_BEACON" : "BEACON"));
        fetched->setBeacons(beacons);
        monitor(row.monitoredBefore);

        if (row.beaconsFetched) facade->synchronicedBeacons(fetched);
        else facade->synchronicedGeofences(fetched);

        auto expected = row.monitoredAfter;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(monitoredIds(), expected);
        auto after = facade->workspacesSubscribed()->snapshot();
        ASSERT_EQ(after.size(), row.replaced.size());
        for (std::size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i] == fetched, row.replaced[i]) << "entry " << i;
    }
}

TEST_F(RegionConsistencyTest, UnregisterStopsEveryMatchOfAnyKind) {
    auto ws = addWorkspace("ws");
    monitor({"r1", "b1", "r2"});
    facade->unregisterRegionWithMsgID("b1", "campaign", "DLT_REGION", ws);
    ASSERT_TRUE(idle());
    EXPECT_EQ(monitoredIds(), (std::vector<std::string>{"r1", "r2"})) << "the region's kind is not looked at";

    facade->unregisterBeaconWithMsgID("nothing", std::nullopt, "DLT_BEACON", nullptr);
    facade->unregisterRegionWithMsgID("R1", "c", "DLT_REGION", ws);
    facade->unregisterRegionWithMsgID(std::nullopt, "c", "DLT_REGION", ws);
    ASSERT_TRUE(idle());
    EXPECT_EQ(monitoredIds(), (std::vector<std::string>{"r1", "r2"}));
    EXPECT_EQ(processBackgroundTasks(*platform).openCount(), 0U);

    facade->unregisterBeaconWithMsgID("r2", "c", "DLT_BEACON", ws);
    ASSERT_TRUE(idle());
    EXPECT_EQ(monitoredIds(), std::vector<std::string>{"r1"});
}

TEST_F(RegionConsistencyTest, UnregisterRunsUnderNamedBackgroundTasks) {
    monitor({"r1"});
    facade->unregisterRegionWithMsgID("r1", "Spring sale", "DLT_REGION", nullptr);
    facade->unregisterBeaconWithMsgID("r1", std::nullopt, "DLT_BEACON", nullptr);
    ASSERT_TRUE(idle());
    // Begun and ended: the entry is kept with the invalid task.
    EXPECT_EQ(facade->backgroundTasks().entry("Unregister region - Spring sale"),
              std::optional<BackgroundTasks::TaskId>(0));
    EXPECT_EQ(facade->backgroundTasks().entry("Unregister beacon - (null)"), std::optional<BackgroundTasks::TaskId>(0));
}

}  // namespace
}  // namespace quorvela::test
