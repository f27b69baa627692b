// Keeping the monitored set consistent after a workspace re-fetched its
// geofences or beacons, and dropping regions by push.
#include "LocationFixture.h"
#include "core/BackgroundTaskTable.h"

namespace quorvela::test {
namespace {

class RegionConsistencyTest : public LocationFixture {
protected:
    // "b..." are beacon regions, anything else circles.
    void monitor(const std::vector<std::string>& ids) {
        for (const auto& id : ids) {
            if (id.rfind("b", 0) == 0)
                manager().startMonitoringForRegion(
                    BeaconRegion::make(SoftwareLocationManager::kUnknownBeaconUuid, 0, 0, id));
            else manager().startMonitoringForRegion(CircularRegion::make(1.0, 1.0, 10.0, id));
        }
    }
    static WorkspaceRecord::GeofenceList geofences(const std::string& ids) {
        WorkspaceRecord::GeofenceList list;
        for (const auto& id : words(ids)) list.push_back(geofence(id, 1.0, 1.0));
        return list;
    }
};

TEST_F(RegionConsistencyTest, SynchronisationTable) {
    // Lists are space-separated. The workspace "other" holds otherGeofences;
    // the fetched one has client id "ws". Fetched beacons "w..." are Wi-Fi
    // beacons. replaced: per subscribed entry, 1 when it became the fetched one.
    struct Row {
        const char* name;
        const char* subscribed;
        const char* otherGeofences;
        const char* fetchedGeofences;
        const char* fetchedBeacons;
        bool beaconsFetched;
        const char* monitoredBefore;
        const char* monitoredAfter;
        const char* replaced;
    };
    const Row rows[] = {
        {"deleted geofence stops only its region", "ws other", "g-other", "g1", "b1", false, "g1 g2 b1 g-other",
         "b1 g-other g1", "1 0"},
        {"beacon fetch prunes geofences too", "ws", "", "g1", "", true, "g1 g9 b1", "g1", "1"},
        {"Wi-Fi beacons keep no region", "ws", "", "", "wb1", true, "wb1", "", "1"},
        {"client id of nobody: no replacement, pruning runs", "other", "g-other", "g1", "", false, "g1 g-other",
         "g-other", "0"},
        {"both entries with the client id are replaced", "ws other ws", "", "g1", "", false, "", "", "1 0 1"},
        {"identifiers compare exactly", "ws", "", "g1", "", false, "G1 g1", "g1", "1"},
        {"a new geofence is not started here", "ws", "", "g1 g-new", "", false, "g1", "g1", "1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        clearRegions();
        for (const auto& id : words(row.subscribed)) {
            auto ws = addWorkspace(id);
            if (id == "other") ws->setGeofences(geofences(row.otherGeofences));
        }
        auto fetched = WorkspaceRecord::create(platform);
        fetched->setClientId("ws");
        fetched->setPublicKey("new key");
        fetched->setGeofences(geofences(row.fetchedGeofences));
        WorkspaceRecord::BeaconList beacons;
        for (const auto& b : words(row.fetchedBeacons))
            beacons.push_back(beacon(b, b[0] == 'w' ? "WIFI_BEACON" : "BEACON"));
        fetched->setBeacons(beacons);
        monitor(words(row.monitoredBefore));

        if (row.beaconsFetched) facade->synchronicedBeacons(fetched);
        else facade->synchronicedGeofences(fetched);

        auto expected = words(row.monitoredAfter);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(monitoredIds(), expected);
        std::vector<std::string> replaced;
        for (const auto& entry : facade->workspacesSubscribed()->snapshot())
            replaced.push_back(entry == fetched ? "1" : "0");
        EXPECT_EQ(replaced, words(row.replaced));
    }
}

TEST_F(RegionConsistencyTest, UnregisterStopsEveryMatchOfAnyKindUnderANamedTask) {
    auto ws = addWorkspace("ws");
    monitor({"r1", "b1", "r2"});
    facade->unregisterRegionWithMsgID("b1", "Spring sale", "DLT_REGION", nullptr);
    ASSERT_TRUE(idle());
    EXPECT_EQ(monitoredIds(), (std::vector<std::string>{"r1", "r2"})) << "the region's kind is not looked at";

    facade->unregisterBeaconWithMsgID("nothing", std::nullopt, "DLT_BEACON", nullptr);
    facade->unregisterRegionWithMsgID("R1", "c", "DLT_REGION", ws);
    facade->unregisterRegionWithMsgID(std::nullopt, "c", "DLT_REGION", ws);
    ASSERT_TRUE(idle());
    EXPECT_EQ(monitoredIds(), (std::vector<std::string>{"r1", "r2"}));
    EXPECT_EQ(processBackgroundTasks(*platform).openCount(), 0U);
    // Begun and ended: the entry is kept with the invalid task.
    EXPECT_EQ(facade->backgroundTasks().entry("Unregister region - Spring sale"),
              std::optional(BackgroundTasks::kInvalid));
    EXPECT_EQ(facade->backgroundTasks().entry("Unregister beacon - (null)"), std::optional(BackgroundTasks::kInvalid));

    facade->unregisterBeaconWithMsgID("r2", "c", "DLT_BEACON", ws);
    ASSERT_TRUE(idle());
    EXPECT_EQ(monitoredIds(), std::vector<std::string>{"r1"});
}

}  // namespace
}  // namespace quorvela::test
