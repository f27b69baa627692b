// Region entries and exits: finding the record behind the region, the two
// analytics events, the report to the service, and regions nobody knows.
#include "LocationFixture.h"
#include "core/BackgroundTaskTable.h"
#include "model/GeofenceRecord.h"

namespace quorvela::test {
namespace {

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

}  // namespace
}  // namespace quorvela::test
