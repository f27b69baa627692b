// Location updates and the two position-related push commands, through the
// facade and the software location manager.
#include <cmath>

#include <fmt/format.h>

#include "LocationFixture.h"
#include "core/BackgroundTaskTable.h"
#include "location/GeoDistance.h"
#include "location/GeoPushTarget.h"
#include "quorvela/platform/ManualNetworkMonitor.h"

namespace quorvela::test {
namespace {

class LocationUpdatesTest : public LocationFixture {
protected:
    // The facade becomes the manager's delegate; the "always" request is
    // granted, so updates run.
    void startUpdates() {
        facade->startStandardUpdates();
        ASSERT_TRUE(idle());
        ASSERT_TRUE(manager().isUpdatingLocation());
        log().clear();
    }
    void deliver(double latitude, double longitude) {
        manager().receiveFix(fixAt(latitude, longitude));
        ASSERT_TRUE(idle());
    }
    std::size_t refreshes() { return log().count("QUORVELA-DEBUG: Refresh Monitored Regions"); }
};

TEST_F(LocationUpdatesTest, FiftyMetreRuleMeasuresFromThePreviousFix) {
    startUpdates();
    const double lat = 10.48, lon = -66.90;
    deliver(lat, lon);
    ASSERT_TRUE(facade->quorvelaLastLocation());
    EXPECT_EQ(facade->quorvelaLastLocation()->latitude, lat);
    EXPECT_EQ(refreshes(), 0U) << "the first fix is only recorded";

    // Two moves of 49.9 m: 99.8 m from the start, yet never 50 m from the
    // previous fix.
    auto [lat1, lon1] = moved(lat, lon, 49.9);
    deliver(lat1, lon1);
    auto [lat2, lon2] = moved(lat1, lon1, 49.9);
    deliver(lat2, lon2);
    EXPECT_EQ(refreshes(), 0U);
    EXPECT_EQ(facade->quorvelaLastLocation()->longitude, lon2);

    // Exactly 50.0 m (the smallest longitude step that is not below 50 m).
    auto [lat3, lon3] = moved(lat2, lon2, 50.0);
    while (GeoDistance::between(lat2, lon2, lat3, lon3) < 50.0) lon3 = std::nextafter(lon3, 180.0);
    ASSERT_LT(GeoDistance::between(lat2, lon2, lat3, lon3), 50.0 + 1e-6);
    deliver(lat3, lon3);
    EXPECT_EQ(refreshes(), 1U);
    EXPECT_EQ(processBackgroundTasks(*platform).openCount(), 0U);
    EXPECT_EQ(facade->backgroundTasks().entry("Location Update - " + fixAt(lat3, lon3).description()),
              std::optional<BackgroundTasks::TaskId>(0));
}

TEST_F(LocationUpdatesTest, ServicesEnabledTable) {
    struct Row {
        const char* name;
        bool services;
        bool locationDisabled;
        int status;
        bool enabled;
    };
    const Row rows[] = {
        {"all well", true, false, 3, true},       {"locationDisabled", true, true, 3, false},
        {"services off", false, false, 3, false}, {"when in use", true, false, 4, false},
        {"denied", true, false, 2, false},        {"not determined", true, false, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        manager().setLocationServicesEnabled(row.services);
        facade->setGetLocationDisabled(row.locationDisabled);
        manager().setAuthorizationStatus(row.status);
        log().clear();
        EXPECT_EQ(facade->locationServicesAreEnabled(), row.enabled);
        EXPECT_EQ(log().lines(), std::vector<std::string>{std::string("QUORVELA-DEBUG: Location service OK :") +
                                                          (row.enabled ? "YES" : "NO")});
    }
}

TEST_F(LocationUpdatesTest, NoUpdatesBeforeStartAndLocationDisabledConfiguresWithoutStarting) {
    manager().setAuthorizationStatus(LocationManager::kAuthorizationAlways);
    manager().receiveFix(fixAt(1.0, 2.0));
    ASSERT_TRUE(idle());
    EXPECT_FALSE(facade->quorvelaLastLocation()) << "no delegate before startStandardUpdates";
    EXPECT_EQ(manager().location()->latitude, 1.0);

    manager().setAuthorizationStatus(LocationManager::kAuthorizationNotDetermined);
    facade->setGetLocationDisabled(true);
    facade->startStandardUpdates();
    ASSERT_TRUE(idle());
    EXPECT_EQ(manager().authorizationStatus(), 3) << "always-authorization was asked for";
    EXPECT_EQ(manager().distanceFilter(), -1.0);
    EXPECT_FALSE(manager().pausesLocationUpdatesAutomatically());
    EXPECT_FALSE(manager().isUpdatingLocation());
    facade->forceUpdateLocation();
    EXPECT_FALSE(manager().isUpdatingLocation());
    EXPECT_EQ(log().count("startStandardUpdates"), 1U);
}

TEST_F(LocationUpdatesTest, AuthorizationChanges) {
    startUpdates();
    auto region = CircularRegion::make(1.0, 1.0, 100.0, "kept");
    manager().startMonitoringForRegion(region);
    ASSERT_TRUE(idle());

    manager().setAuthorizationStatus(LocationManager::kAuthorizationWhenInUse);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(log().contains("Change Authorization status, new status: 4"));
    EXPECT_FALSE(log().contains("QUORVELA-DEBUG: Change Authorization")) << "a platform-log line";
    EXPECT_FALSE(manager().isUpdatingLocation());
    EXPECT_EQ(monitoredIds(), std::vector<std::string>{"kept"}) << "monitoring stays";
    EXPECT_EQ(log().count("Refresh Monitored Regions"), 0U);

    manager().setAuthorizationStatus(LocationManager::kAuthorizationAlways);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(manager().isUpdatingLocation());
    EXPECT_EQ(log().count("Refresh Monitored Regions"), 1U);

    // Authorized always, but the user switched location off in the library.
    facade->setGetLocationDisabled(true);
    manager().setAuthorizationStatus(LocationManager::kAuthorizationDenied);
    manager().setAuthorizationStatus(LocationManager::kAuthorizationAlways);
    ASSERT_TRUE(idle());
    EXPECT_FALSE(manager().isUpdatingLocation());
}

TEST_F(LocationUpdatesTest, StartingAgainWatchesTheNetworkOnceAndForceUpdateRestarts) {
    auto monitor = std::make_shared<ManualNetworkMonitor>();
    platform->networkMonitor = monitor;
    startUpdates();
    facade->startStandardUpdates();
    ASSERT_TRUE(idle());
    EXPECT_EQ(monitor->observerCount(), 1U);
    manager().stopUpdatingLocation();
    facade->forceUpdateLocation();
    EXPECT_TRUE(manager().isUpdatingLocation());
}

TEST_F(LocationUpdatesTest, LastLocationTravelsAsSingleFloats) {
    auto workspace = addWorkspace("ws1");
    struct Row {
        const char* name;
        std::optional<Location> last;
        std::string coordinates;
    };
    const Row rows[] = {
        {"no position", std::nullopt, "0.000000 0.000000"},
        {"exactly 0, 0 is sent as it is", fixAt(0.0, 0.0), "0.000000 0.000000"},
        {"narrowed to float", fixAt(10.4806, -66.9036), "10.480600 -66.903603"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        http().clearRequests();
        facade->setQuorvelaLastLocation(row.last);
        Results results;
        facade->sendLastLocationForMsgID("req-1", "campaign", workspace, results.handler());
        ASSERT_TRUE(idle());
        auto sent = reports("sendLocation");
        ASSERT_EQ(sent.size(), 1U);
        EXPECT_EQ(pick(sent[0], {0, 3, 4, 6}), words("req-1 " + row.coordinates + " ws1"));
        EXPECT_EQ(results.values(), std::vector<unsigned long>{0});
        EXPECT_TRUE(log().contains("QUORVELA-DEBUG: LocationDelegate: ok"));
    }
}

TEST_F(LocationUpdatesTest, GeoPushTable) {
    auto workspace = addWorkspace("ws1");
    http().answer(serviceBaseUrl() + "/getMessage/", FakeHttpClient::reply("<messages/>"));
    const double lat = 10.5, lon = -66.9;
    auto [farLat, farLon] = moved(lat, lon, 300.0);
    const double d = GeoDistance::between(lat, lon, farLat, farLon);
    const std::string exact = fmt::format("{:.17g}", d), below = fmt::format("{:.17g}", std::nextafter(d, 0.0));
    auto id = [&](const std::string& radius) {
        return "GEOPUSH:m-7:" + std::to_string(lat) + ":" + std::to_string(lon) + ":" + radius;
    };
    struct Row {
        const char* name;
        std::optional<Location> last;
        std::optional<std::string> msgID;
        unsigned long handlerWithoutFetch;  // ignored when fetched
        bool fetches;
    };
    const std::vector<Row> rows = {
        {"distance equals the radius", fixAt(farLat, farLon), id(exact), 0, true},
        {"just outside", fixAt(farLat, farLon), id(below), 0, false},
        {"inside with blanks and trailing text", fixAt(farLat, farLon), id("  1000m"), 0, true},
        {"radius not a number, away from the centre", fixAt(farLat, farLon), id("abc"), 0, false},
        {"radius not a number, at the centre", fixAt(lat, lon), id("abc"), 0, true},
        {"no position", std::nullopt, id("1000"), 1, false},
        {"position 0, 0 counts as none", fixAt(0.0, 0.0), "GEOPUSH:m-7:0:0:1000", 1, false},
        {"fewer than five fields", fixAt(lat, lon), "GEOPUSH:m-7:10.5:-66.9", 1, false},
        {"no id", fixAt(lat, lon), std::nullopt, 1, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        http().clearRequests();
        facade->setQuorvelaLastLocation(row.last);
        Results results;
        facade->processGeoPushForMsgID(row.msgID, "campaign", workspace, results.handler());
        ASSERT_TRUE(idle());
        const auto fetched = http().requestCount(serviceBaseUrl() + "/getMessage/");
        EXPECT_EQ(fetched, row.fetches ? 1U : 0U);
        if (row.fetches) {
            EXPECT_NE(http().requests().at(0).find("/m-7/"), std::string::npos) << http().requests().at(0);
            EXPECT_EQ(results.values().size(), 1U) << "the fetch answers the push";
        } else {
            EXPECT_EQ(results.values(), std::vector<unsigned long>{row.handlerWithoutFetch});
        }
    }
    EXPECT_EQ(log().count("QUORVELA-DEBUG: PROCCESS PUSH"), rows.size());
}

TEST(GeoPushTargetTest, FieldsOfTheMessageId) {
    auto target = GeoPushTarget::parse("GEOPUSH:abc:1:2:3:extra");
    ASSERT_TRUE(target);
    EXPECT_EQ(target->messageId, "abc");
    EXPECT_EQ(target->radius, 3.0);
    EXPECT_FALSE(GeoPushTarget::parse("GEOPUSH:abc:1:2"));
    EXPECT_TRUE(GeoPushTarget::parse("::::"));
}

}  // namespace
}  // namespace quorvela::test
