// The monitored regions. Choosing them: the 20-region budget with beacons
// first, the closest geofences, the ordered entry sets and records that cannot
// form a region.
#include <cmath>
#include <limits>
#include <numeric>
#include <random>

#include "LocationFixture.h"
#include "core/BackgroundTaskTable.h"
#include "location/GeoDistance.h"
#include "location/RegionEntrySet.h"
#include "location/RegionSelection.h"
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

    facade->setQuorvelaLastLocation(fixAt(kLat, kLon));
    facade->refreshMonitoredRegionsToClosest();
    auto list = facade->geoFencesList();
    EXPECT_EQ(idsOf(list), (std::vector<std::string>{"near", "middle", "far"}));
    EXPECT_EQ(idsOf(facade->beaconsList()), std::vector<std::string>{"bt"}) << "Wi-Fi beacons are no regions";
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

// Region entries and exits: finding the record behind the region, the two
// analytics events, the report to the service, and regions nobody knows.
class RegionEventsTest : public LocationFixture {
protected:
    void SetUp() override {
        ws1 = addWorkspace("ws1");
        ws2 = addWorkspace("ws2");
        ws1->setGeofences({geofence("gf-1", 1.0, 1.0)});
        ws2->setGeofences({geofence("gf-2", 2.0, 2.0), geofence("gf-1", 9.0, 9.0, 10.0, "shadowed")});
        ws2->setBeacons({beacon("wifi-1", "WIFI_BEACON", "home"), beacon("bt-1")});
    }
    std::shared_ptr<WorkspaceRecord> ws1, ws2;
};

TEST_F(RegionEventsTest, GeofenceOfTheSecondWorkspace) {
    Location here = fixAt(2.5, 2.25);
    here.course = 90.0;
    here.speed = 1.5;
    here.altitude = 12.0;
    here.verticalAccuracy = 3.0;
    here.floor = 2;
    manager().receiveFix(here);
    facade->locationManagerDidEnterRegion(manager(), CircularRegion::make(2.0, 2.0, 100.0, "gf-2"));
    ASSERT_TRUE(idle());

    const std::string extra =
        "course: 90.000000, speed: 1.500000, altitude: 12.000000, floor: <floor level 2>, horizontalAccuracy: "
        "5.000000, verticalAccuracy: 3.000000, timestamp: 2023-11-14 22:13:20 +0000, description: " +
        here.description();
    EXPECT_EQ(events(), (std::vector<SentEvent>{{"GEOFENCE_ENTER", "gf-2", "campaign gf-2", "ws2"},
                                                {"GEOFENCE_ENTER_EXTRA_INFO", extra, "campaign gf-2", "ws2"}}));
    auto sent = reports();
    ASSERT_EQ(sent.size(), 1U);
    ASSERT_EQ(sent[0].size(), 12U);  // eleven fields and the signature
    EXPECT_EQ(pick(sent[0], {0, 1, 2, 4, 5, 6, 9}), words("gf-2 device-1 ENTER 2.500000 2.250000 GEOFENCE ws2"));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: LocationDelegate: ok"));
    EXPECT_EQ(processBackgroundTasks(*platform).openCount(), 0U);
    EXPECT_EQ(facade->backgroundTasks().entry("Region Enter - gf-2"), std::optional<BackgroundTasks::TaskId>(0));
}

TEST_F(RegionEventsTest, FirstWorkspaceWinsAndLookupsAgree) {
    auto region = CircularRegion::make(1.0, 1.0, 100.0, "gf-1");
    EXPECT_EQ(facade->getWorkspaceFromRegion(region), ws1);
    EXPECT_EQ(facade->getCampaignNameFromRegion(region), std::optional<std::string>("campaign gf-1"));
    // Geofence regions search geofences only, beacon regions beacons only.
    EXPECT_EQ(
        facade->getWorkspaceFromRegion(BeaconRegion::make(SoftwareLocationManager::kUnknownBeaconUuid, 0, 0, "gf-1")),
        nullptr);
    EXPECT_EQ(facade->getWorkspaceFromRegion(CircularRegion::make(1.0, 1.0, 1.0, "bt-1")), nullptr);
    EXPECT_EQ(facade->getWorkspaceFromRegion(CircularRegion::make(1.0, 1.0, 1.0, "GF-1")), nullptr)
        << "identifiers compare exactly";
}

TEST_F(RegionEventsTest, BeaconRegionMatchingAWifiBeaconRecord) {
    // Through the manager: its own made-up beacon region, reported to the
    // facade as its delegate.
    facade->startStandardUpdates();
    ASSERT_TRUE(idle());
    http().clearRequests();
    manager().reportRegionEvent("wifi-1", false, Region::Kind::Beacon);
    ASSERT_TRUE(idle());
    auto sent = events();
    ASSERT_EQ(sent.size(), 2U);
    EXPECT_EQ(sent[0], (SentEvent{"BEACON_EXIT", "wifi-1", "campaign wifi-1", "ws2"}));
    EXPECT_EQ(sent[1].type, "BEACON_EXIT_EXTRA_INFO");
    auto report = reports();
    ASSERT_EQ(report.size(), 1U);
    EXPECT_EQ(pick(report[0], {2, 6}), words("EXIT BEACON"));
}

TEST_F(RegionEventsTest, UnknownRegionOrNamelessRecordGivesOneErrorAndNoReport) {
    auto nameless = std::make_shared<GeofenceRecord>(*geofence("nameless", 1.0, 1.0));
    nameless->setName(std::nullopt);
    ws1->setGeofences({nameless});
    for (const std::string id : {"gone", "nameless"}) {
        SCOPED_TRACE(id);
        http().clearRequests();
        log().clear();
        facade->locationManagerDidExitRegion(manager(), CircularRegion::make(1.0, 1.0, 10.0, id));
        ASSERT_TRUE(idle());
        const std::string text = "Error With Region: " + id + ", Reason: campaignName or Workspace are NULL";
        EXPECT_EQ(events(), (std::vector<SentEvent>{{"ERROR", text, std::nullopt, "main-client"}}));
        EXPECT_EQ(log().count("QUORVELA-DEBUG: " + text), 1U);
        EXPECT_TRUE(reports().empty());
        EXPECT_EQ(processBackgroundTasks(*platform).openCount(), 0U);
    }
}

TEST_F(RegionEventsTest, NoCurrentLocationAndRepeatedEntries) {
    auto region = BeaconRegion::make(SoftwareLocationManager::kUnknownBeaconUuid, 1, 2, "bt-1");
    facade->locationManagerDidEnterRegion(manager(), region);
    facade->locationManagerDidEnterRegion(manager(), region);
    ASSERT_TRUE(idle());
    auto sent = events();
    ASSERT_EQ(sent.size(), 4U);
    const std::string zeros =
        "course: 0.000000, speed: 0.000000, altitude: 0.000000, floor: (null), horizontalAccuracy: 0.000000, "
        "verticalAccuracy: 0.000000, timestamp: (null), description: (null)";
    for (const auto& e : sent)
        if (e.type == "BEACON_ENTER_EXTRA_INFO") EXPECT_EQ(e.extra, zeros);
    auto report = reports();
    ASSERT_EQ(report.size(), 2U) << "each entry is reported";
    for (const auto& r : report) EXPECT_EQ(pick(r, {4, 5}), words("0.000000 0.000000"));
}

TEST_F(RegionEventsTest, RefusedReportIsOnlyLogged) {
    http().answer(serviceBaseUrl() + "/notifyRegionEvent/",
                  FakeHttpClient::reply("<r><successful>false</successful><message>no</message></r>"));
    facade->locationManagerDidEnterRegion(manager(), CircularRegion::make(2.0, 2.0, 100.0, "gf-2"));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: LocationDelegate Error: no"));
    EXPECT_EQ(reports().size(), 1U);
}

// Keeping the monitored set consistent after a workspace re-fetched its
// geofences or beacons, and dropping regions by push.
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

// The refresh's partial ranking against a plain stable sort by geodesic
// distance: random sets of near, far and coinciding circles, entries without
// a circle, invalid positions, every budget.
struct RandomSet {
    std::vector<RegionEntry> entries;
    Location position;
};

double circleDistance(const RegionEntry& entry, const Location& position) {
    auto circle = std::dynamic_pointer_cast<CircularRegion>(entry.region);
    const double d = circle ? GeoDistance::between(circle->latitude(), circle->longitude(), position.latitude,
                                                   position.longitude)
                            : std::numeric_limits<double>::quiet_NaN();
    return std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
}

// The positions of all entries, nearest first, equal distances in list order.
std::vector<std::size_t> stableSorted(const RandomSet& set) {
    std::vector<double> distances;
    for (const auto& entry : set.entries) distances.push_back(circleDistance(entry, set.position));
    std::vector<std::size_t> order(set.entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return distances[a] < distances[b]; });
    return order;
}

RandomSet randomSet(std::mt19937& random) {
    RandomSet set;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // From a few metres to the whole globe, so the cheap bound is tried both
    // where it is tight and where it is loose.
    const double spread = std::pow(10.0, -4.0 + 6.0 * unit(random));
    const double lat = -89.0 + 178.0 * unit(random);
    const double lon = -179.0 + 358.0 * unit(random);
    set.position.latitude = lat;
    set.position.longitude = lon;
    if (unit(random) < 0.05) set.position.latitude = std::numeric_limits<double>::quiet_NaN();

    const int count = static_cast<int>(unit(random) * 120.0);
    for (int i = 0; i < count; ++i) {
        const std::string id = "r" + std::to_string(i);
        std::shared_ptr<Region> region;
        const double kind = unit(random);
        if (kind < 0.05) {
            region = BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 1, 2, id);
        } else if (kind < 0.08) {
            region = nullptr;
        } else if (kind < 0.25 && !set.entries.empty()) {
            // The same centre as an earlier circle: an exact tie.
            const auto& earlier = set.entries[static_cast<std::size_t>(unit(random) * set.entries.size())];
            if (auto circle = std::dynamic_pointer_cast<CircularRegion>(earlier.region))
                region = CircularRegion::make(circle->latitude(), circle->longitude(), 50.0, id);
        } else if (kind < 0.35) {
            // Mirrored across the position's meridian: equal distances by symmetry.
            const double dLat = spread * (unit(random) - 0.5);
            const double dLon = spread * unit(random);
            region = CircularRegion::make(std::clamp(lat + dLat, -90.0, 90.0), lon + dLon, 50.0, id);
            set.entries.push_back(RegionEntry{region, id, RegionEntry::kDistantPast, nullptr});
            region = CircularRegion::make(std::clamp(lat + dLat, -90.0, 90.0), lon - dLon, 50.0, id + "m");
        }
        if (!region && kind >= 0.08) {
            const double la = std::clamp(lat + spread * (unit(random) - 0.5), -90.0, 90.0);
            double lo = lon + spread * (unit(random) - 0.5) * 2.0;
            lo = std::remainder(lo, 360.0);
            region = CircularRegion::make(la, lo, 50.0, id);
        }
        set.entries.push_back(RegionEntry{region, id, RegionEntry::kDistantPast, nullptr});
    }
    return set;
}

TEST(NearestByDistanceTest, ChoosesAndSortsWhatAStableSortPutsFirst) {
    std::mt19937 random(20240611);
    int withTies = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        RandomSet set = randomSet(random);
        const auto sorted = stableSorted(set);
        for (std::size_t i = 1; i < sorted.size(); ++i)
            if (circleDistance(set.entries[sorted[i]], set.position) ==
                circleDistance(set.entries[sorted[i - 1]], set.position))
                ++withTies;
        for (std::size_t budget : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{20}, set.entries.size(),
                                   set.entries.size() + 5}) {
            SCOPED_TRACE(budget);
            const auto nearest = RegionSelection::nearestByDistance(set.entries, set.position, budget);
            const std::vector<std::size_t> expected(sorted.begin(), sorted.begin() + std::min(budget, sorted.size()));
            ASSERT_EQ(nearest, expected);
        }
        std::vector<std::string> expected;
        for (std::size_t i : sorted) expected.push_back(*set.entries[i].name);
        RegionSelection::sortByDistance(set.entries, set.position);
        std::vector<std::string> names;
        for (const auto& entry : set.entries) names.push_back(*entry.name);
        ASSERT_EQ(names, expected);
    }
    EXPECT_GT(withTies, 100) << "the sets should exercise equal distances";
}

}  // namespace
}  // namespace quorvela::test
