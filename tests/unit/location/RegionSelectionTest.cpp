// Choosing the monitored regions: the 20-region budget with beacons first,
// the closest geofences, the ordered entry sets and records that cannot form
// a region.
#include "LocationFixture.h"
#include "location/RegionEntrySet.h"
#include "model/GeofenceRecord.h"

namespace quorvela::test {
namespace {

constexpr double kLat = 48.0;
constexpr double kLon = 11.0;

class RegionSelectionTest : public LocationFixture {
protected:
    // Geofence "g<i>" lies i km east of the reference point.
    static WorkspaceRecord::GeofenceList geofencesEastward(int count) {
        WorkspaceRecord::GeofenceList list;
        for (int i = count; i >= 1; --i) {  // stored farthest first, so sorting matters
            auto [lat, lon] = moved(kLat, kLon, 1000.0 * i);
            list.push_back(geofence("g" + std::to_string(i), lat, lon));
        }
        return list;
    }
    static WorkspaceRecord::BeaconList beacons(int count) {
        WorkspaceRecord::BeaconList list;
        for (int i = 1; i <= count; ++i) list.push_back(beacon("b" + std::to_string(i)));
        return list;
    }
    static std::vector<std::string> names(const std::string& prefix, int from, int to) {
        std::vector<std::string> out;
        for (int i = from; i <= to; ++i) out.push_back(prefix + std::to_string(i));
        return out;
    }
    void premonitor(const std::vector<std::string>& geofenceIds) {
        for (const auto& id : geofenceIds) {
            int km = std::stoi(id.substr(1));
            auto [lat, lon] = moved(kLat, kLon, 1000.0 * km);
            manager().startMonitoringForRegion(CircularRegion::make(lat, lon, 100.0, id));
        }
    }
};

TEST_F(RegionSelectionTest, BudgetTable) {
    struct Row {
        const char* name;
        int beacons;
        int geofences;
        bool position;
        std::vector<std::string> monitoredBefore;
        std::vector<std::string> monitoredAfter;
    };
    auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    const std::vector<Row> rows = {
        {"no position: beacons only", 3, 5, false, {}, names("b", 1, 3)},
        {"no position: monitored geofences stay", 3, 5, false, {"g5"}, join(names("b", 1, 3), {"g5"})},
        {"5 beacons, 30 geofences", 5, 30, true, {"g1", "g16", "g30"}, join(names("b", 1, 5), names("g", 1, 15))},
        {"exactly 20 beacons", 20, 4, true, {"g1", "g2"}, names("b", 1, 20)},
        {"more than 20 beacons", 25, 4, true, {}, names("b", 1, 20)},
        {"few of each", 2, 3, true, {}, join(names("b", 1, 2), names("g", 1, 3))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        clearRegions();
        auto ws = addWorkspace("ws1");
        ws->setGeofences(geofencesEastward(row.geofences));
        ws->setBeacons(beacons(row.beacons));
        facade->setQuorvelaLastLocation(row.position ? std::optional(fixAt(kLat, kLon)) : std::nullopt);
        premonitor(row.monitoredBefore);
        log().clear();

        facade->refreshMonitoredRegionsToClosest();
        ASSERT_TRUE(idle());
        auto expected = row.monitoredAfter;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(monitoredIds(), expected);
        // Ranked nearest first, also past the ones monitored; without a
        // position the built order (farthest first) stays.
        auto ranked = names("g", 1, row.geofences);
        if (!row.position) std::reverse(ranked.begin(), ranked.end());
        EXPECT_EQ(idsOf(facade->geoFencesList()), ranked);
        EXPECT_EQ(log().count("monitoringDidFail"), 0U);
        EXPECT_EQ(log().contains("QUORVELA-DEBUG: Current Location is Null"), !row.position);
        EXPECT_TRUE(log().contains("QUORVELA-DEBUG: numGeofences: " + std::to_string(row.geofences)));
        EXPECT_TRUE(log().contains("QUORVELA-DEBUG: numBeacons: " + std::to_string(row.beacons)));
        EXPECT_EQ(facade->beaconsList().size(), static_cast<std::size_t>(row.beacons));
    }
}

TEST_F(RegionSelectionTest, GeofencesAreRankedByDistanceAcrossWorkspaces) {
    auto ws1 = addWorkspace("ws1");
    auto ws2 = addWorkspace("ws2");
    auto [lat3, lon3] = moved(kLat, kLon, 3000.0);
    auto [lat1, lon1] = moved(kLat, kLon, 1000.0, 200.0);
    auto [lat2, lon2] = moved(kLat, kLon, 2000.0, 10.0);
    ws1->setGeofences({geofence("far", lat3, lon3), geofence("near", lat1, lon1)});
    ws2->setGeofences({geofence("middle", lat2, lon2)});
    ws2->setBeacons({beacon("wifi", "WIFI_BEACON", "home"), beacon("bt")});

    facade->refreshMonitoredRegionsToClosest();
    EXPECT_EQ(idsOf(facade->geoFencesList()), (std::vector<std::string>{"far", "near", "middle"}))
        << "without a position the built order stays";
    EXPECT_EQ(idsOf(facade->beaconsList()), std::vector<std::string>{"bt"}) << "Wi-Fi beacons are no regions";

    facade->setQuorvelaLastLocation(fixAt(kLat, kLon));
    facade->refreshMonitoredRegionsToClosest();
    auto list = facade->geoFencesList();
    EXPECT_EQ(idsOf(list), (std::vector<std::string>{"near", "middle", "far"}));
    EXPECT_EQ(list[1].workspace, ws2);
    EXPECT_EQ(list[1].name, std::optional<std::string>("campaign middle"));
    EXPECT_EQ(list[1].timeStamp, RegionEntry::kDistantPast);
}

TEST_F(RegionSelectionTest, MonitoredRegionsAreNotStartedAgain) {
    facade->startStandardUpdates();  // the facade hears "did start monitoring"
    ASSERT_TRUE(idle());
    auto ws = addWorkspace("ws1");
    ws->setGeofences(geofencesEastward(3));
    ws->setBeacons(beacons(2));
    facade->setQuorvelaLastLocation(fixAt(kLat, kLon));
    facade->refreshMonitoredRegionsToClosest();
    ASSERT_TRUE(idle());
    log().clear();
    facade->refreshMonitoredRegionsToClosest();
    ASSERT_TRUE(idle());
    EXPECT_EQ(log().count("Starting Monitoring Region with ID:"), 0U);
    EXPECT_EQ(monitoredIds().size(), 5U);

    // A geofence whose circle changed is started again with the new circle.
    auto changed = ws->getGeofences();
    auto g1 = std::make_shared<GeofenceRecord>(*changed[2]);
    g1->setRadius(250.0);
    changed[2] = g1;
    ws->setGeofences(changed);
    facade->refreshMonitoredRegionsToClosest();
    ASSERT_TRUE(idle());
    EXPECT_EQ(log().count("Starting Monitoring Region with ID:"), 1U);
    EXPECT_EQ(log().count("Starting Monitoring Region with ID: g1"), 1U);
    for (const auto& region : manager().monitoredRegions()) {
        if (region->identifier() != "g1") continue;
        EXPECT_EQ(std::dynamic_pointer_cast<CircularRegion>(region)->radius(), 250.0);
    }
    EXPECT_EQ(monitoredIds().size(), 5U);
}

TEST_F(RegionSelectionTest, EqualEntriesCollapse) {
    auto ws = addWorkspace("ws1");
    ws->setGeofences({geofence("same", 1.0, 1.0, 100.0, "A"), geofence("same", 1.0, 1.0, 100.0, "A"),
                      geofence("same", 1.0, 1.0, 100.0, "B"), geofence("same", 1.0, 1.0, 150.0, "A")});
    ws->setBeacons({beacon("bt"), beacon("bt")});
    facade->refreshMonitoredRegionsToClosest();
    auto list = facade->geoFencesList();
    ASSERT_EQ(list.size(), 3U) << "the copy with the same name is one entry";
    EXPECT_EQ(list[0].name, std::optional<std::string>("A"));
    EXPECT_EQ(list[1].name, std::optional<std::string>("B"));
    EXPECT_EQ(facade->beaconsList().size(), 1U);

    // The same record in two workspaces: two entries (the workspaces differ).
    auto other = addWorkspace("ws2");
    other->setGeofences({geofence("same", 1.0, 1.0, 100.0, "A")});
    facade->refreshMonitoredRegionsToClosest();
    EXPECT_EQ(facade->geoFencesList().size(), 4U);

    // The setter keeps the set's rule.
    auto doubled = facade->beaconsList();
    doubled.push_back(doubled.front());
    facade->setBeaconsList(doubled);
    EXPECT_EQ(facade->beaconsList().size(), 1U);
}

TEST_F(RegionSelectionTest, RecordsThatCannotFormARegionAreSkippedWithAnError) {
    auto ws = addWorkspace("ws1");
    ws->setGeofences({geofence("bad-latitude", 200.0, 1.0), geofence("good", 1.0, 1.0)});
    ws->setBeacons({beacon("bad-uuid", "BEACON", "not-a-uuid"), beacon("bt")});
    facade->setQuorvelaLastLocation(fixAt(1.0, 1.0));
    for (int refresh = 1; refresh <= 2; ++refresh) {
        SCOPED_TRACE(refresh);
        http().clearRequests();
        facade->refreshMonitoredRegionsToClosest();
        ASSERT_TRUE(idle());
        EXPECT_EQ(events(),
                  (std::vector<SentEvent>{{"ERROR", "Error in data of Beacon", "campaign bad-uuid", "ws1"},
                                          {"ERROR", "Error in data of Geofence", "campaign bad-latitude", "ws1"}}));
        EXPECT_EQ(idsOf(facade->geoFencesList()), std::vector<std::string>{"good"});
        EXPECT_EQ(idsOf(facade->beaconsList()), std::vector<std::string>{"bt"});
        EXPECT_EQ(monitoredIds(), (std::vector<std::string>{"bt", "good"}));
    }
}

TEST_F(RegionSelectionTest, ResetStopsEverythingThenRefreshes) {
    auto ws = addWorkspace("ws1");
    ws->setBeacons(beacons(1));
    manager().startMonitoringForRegion(CircularRegion::make(1.0, 1.0, 10.0, "orphan"));
    facade->resetMonitoringRegions();
    EXPECT_EQ(monitoredIds(), std::vector<std::string>{"b1"});
    EXPECT_EQ(facade->monitoredGeoFences().size(), 1U);
}

TEST_F(RegionSelectionTest, MonitoringFailureIsReported) {
    facade->startStandardUpdates();
    ASSERT_TRUE(idle());
    auto ws = addWorkspace("ws1");
    ws->setGeofences({geofence("huge", 1.0, 1.0)});
    // A circle beyond the manager's maximum radius is refused by it.
    facade->locationManagerMonitoringDidFailForRegion(manager(), CircularRegion::make(1.0, 1.0, 10.0, "huge"),
                                                      "too large");
    ASSERT_TRUE(idle());
    EXPECT_EQ(events(), (std::vector<SentEvent>{
                            {"ERROR", "monitoringDidFailForRegion: huge, Reason: too large", "campaign huge", "ws1"}}));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: too large"));
}

TEST(RegionEntrySetTest, KeepsOrderAndDropsEqualEntries) {
    auto a = CircularRegion::make(1.0, 1.0, 10.0, "a");
    auto a2 = CircularRegion::make(1.0, 1.0, 10.0, "a");
    auto b = CircularRegion::make(1.0, 1.0, 10.0, "b");
    RegionEntrySet set;
    EXPECT_TRUE(set.add({b, "x", RegionEntry::kDistantPast, nullptr}));
    EXPECT_TRUE(set.add({a, "x", RegionEntry::kDistantPast, nullptr}));
    EXPECT_FALSE(set.add({a2, "x", RegionEntry::kDistantPast, nullptr}));
    EXPECT_TRUE(set.add({a, std::nullopt, RegionEntry::kDistantPast, nullptr}));
    EXPECT_TRUE(set.add({a, "x", 0.0, nullptr}));
    auto entries = set.take();
    ASSERT_EQ(entries.size(), 4U);
    EXPECT_EQ(entries[0].identifier(), "b");
    EXPECT_EQ(set.size(), 0U);
    EXPECT_TRUE(set.add({a, "x", RegionEntry::kDistantPast, nullptr})) << "an emptied set starts afresh";
}

}  // namespace
}  // namespace quorvela::test
