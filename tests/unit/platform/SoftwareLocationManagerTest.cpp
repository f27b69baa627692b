#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/RouteParser.h"
#include "platform/ThreadDispatcher.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/Dispatcher.h"
#include "quorvela/platform/LocationManager.h"
#include "quorvela/platform/ManualBeaconSource.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/ReplayLocationSource.h"
#include "quorvela/platform/SoftwareLocationManager.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;

// A location manager delegate that writes every callback as one line
// ("enter home", "update 1", ...); " off-main" marks a callback that ran
// off the dispatcher's main thread.
class LocationRecorder : public LocationManagerDelegate {
public:
    /// Without a dispatcher the callbacks run on the calling thread.
    explicit LocationRecorder(std::shared_ptr<Dispatcher> dispatcher = nullptr) : dispatcher_(std::move(dispatcher)) {}

    // Asking the manager back from a callback must not deadlock, with or without a dispatcher.
    void didUpdateLocations(LocationManager& manager, const std::vector<Location>& locations) override {
        add("update " + std::to_string(locations.size()) + (manager.location() ? "" : " without location"));
    }
    void didChangeAuthorizationStatus(LocationManager&, int status) override { add("auth " + std::to_string(status)); }
    void didEnterRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        add("enter " + region->identifier(), region);
    }
    void didExitRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        add("exit " + region->identifier(), region);
    }
    void didStartMonitoringForRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        add("start " + region->identifier());
    }
    void monitoringDidFailForRegion(LocationManager&, const std::shared_ptr<Region>& region,
                                    const std::string& error) override {
        add("fail " + region->identifier() + ": " + error);
    }

    /// The events since the last call, once the main queue ran dry.
    std::vector<std::string> take() {
        EXPECT_TRUE(!dispatcher_ || dispatcher_->waitIdle(std::chrono::seconds(10)));
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }
    /// The regions of the entries and exits so far, in order.
    std::vector<std::shared_ptr<Region>> regions() {
        std::lock_guard lock(mutex_);
        return regions_;
    }

private:
    void add(std::string line, std::shared_ptr<Region> region = nullptr) {
        if (dispatcher_ && !dispatcher_->isMainThread()) line += " off-main";
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(line));
        if (region) regions_.push_back(std::move(region));
    }

    std::shared_ptr<Dispatcher> dispatcher_;
    std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<std::shared_ptr<Region>> regions_;
};

constexpr double kLat = 10.4806;
constexpr double kLon = -66.9036;

// A point `metres` from the origin, due north-east.
Location away(double metres, double fromLat = kLat, double fromLon = kLon) {
    Location fix;
    GeographicLib::Geodesic::WGS84().Direct(fromLat, fromLon, 45.0, metres, fix.latitude, fix.longitude);
    fix.horizontalAccuracy = 5.0;
    return fix;
}

using Events = std::vector<std::string>;

class SoftwareLocationManagerTest : public ::testing::Test {
protected:
    SoftwareLocationManagerTest() {
        manager = SoftwareLocationManager::create(dispatcher, source, beacons);
        manager->setDelegate(recorder);
    }
    // Authorized "always", the usual state of a monitoring test.
    void authorize() {
        manager->requestAlwaysAuthorization();
        recorder->take();
    }
    void monitorCircle(const std::string& id, double radius = 100.0) {
        manager->startMonitoringForRegion(CircularRegion::make(kLat, kLon, radius, id));
    }

    std::shared_ptr<ThreadDispatcher> dispatcher = std::make_shared<ThreadDispatcher>(2);
    std::shared_ptr<ManualLocationSource> source = std::make_shared<ManualLocationSource>();
    std::shared_ptr<ManualBeaconSource> beacons = std::make_shared<ManualBeaconSource>();
    std::shared_ptr<LocationRecorder> recorder = std::make_shared<LocationRecorder>(dispatcher);
    std::shared_ptr<SoftwareLocationManager> manager;
};

// The first fix after monitoring starts only sets the state, whichever side it
// is on; the boundary itself counts as inside.
TEST_F(SoftwareLocationManagerTest, CircularEntryAndExitFollowTheFixes) {
    authorize();
    monitorCircle("c");
    EXPECT_EQ(recorder->take(), Events{"start c"});
    struct Step {
        bool restart;  // start monitoring the region again first
        double metres;
        Events events;
    } steps[] = {{false, 500, {}},
                 {false, 50, {"enter c"}},
                 {false, 10, {}},
                 {false, 100.01, {"exit c"}},
                 {false, 100.02, {}},
                 {false, 1000, {}},
                 {false, 99.99, {"enter c"}},
                 {false, 100.5, {"exit c"}},
                 {false, 0, {"enter c"}},
                 {true, 20, {"start c"}},
                 {false, 99.99, {}},
                 {false, 500, {"exit c"}}};
    for (const auto& step : steps) {
        if (step.restart) monitorCircle("c");
        source->push(away(step.metres));
        EXPECT_EQ(recorder->take(), step.events) << step.metres;
    }
}

TEST_F(SoftwareLocationManagerTest, NotificationFlagsAndStoppedRegions) {
    authorize();
    auto quiet = CircularRegion::make(kLat, kLon, 100.0, "quiet");
    quiet->setNotifyOnEntry(false);
    manager->startMonitoringForRegion(quiet);
    monitorCircle("gone");
    source->push(away(500));
    manager->stopMonitoringForRegion(CircularRegion::make(0, 0, 1, "gone"));
    source->push(away(0));
    source->push(away(500));
    EXPECT_EQ(recorder->take(), (Events{"start quiet", "start gone", "exit quiet"}));
}

TEST_F(SoftwareLocationManagerTest, TwentyFirstRegionAndTooLargeRadiusAreRefused) {
    authorize();
    for (int i = 0; i < 20; ++i) monitorCircle("r" + std::to_string(i));
    monitorCircle("r20");
    monitorCircle("r5", 200.0);  // a known identifier replaces its region even when full
    auto events = recorder->take();
    ASSERT_EQ(events.size(), 22u);
    EXPECT_EQ(events[20], std::string("fail r20: ") + SoftwareLocationManager::kLimitError);
    EXPECT_EQ(events[21], "start r5");
    EXPECT_EQ(manager->monitoredRegions().size(), 20u);

    manager->stopMonitoringForRegion(CircularRegion::make(0, 0, 1, "r0"));
    monitorCircle("huge", 100000.5);
    monitorCircle("edge", 100000.0);
    EXPECT_EQ(recorder->take(),
              (Events{std::string("fail huge: ") + SoftwareLocationManager::kRadiusError, "start edge"}));
    EXPECT_EQ(manager->monitoredRegions().size(), 20u);
}

TEST_F(SoftwareLocationManagerTest, BeaconSourceEntryAndExit) {
    authorize();
    manager->startMonitoringForRegion(BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 1, 2, "b1"));
    monitorCircle("b2");  // a circle of that name does not hear beacon ranges
    recorder->take();
    struct Step {
        const char* id;
        bool inRange;
        std::vector<std::string> events;
    } steps[] = {{"b1", false, {}},  // out of range of a beacon never seen: no exit
                 {"b1", true, {"enter b1"}}, {"b1", true, {}}, {"b1", false, {"exit b1"}},
                 {"b1", false, {}},          {"b2", true, {}}, {"unknown", true, {}}};
    for (const auto& step : steps) {
        EXPECT_TRUE(step.inRange ? beacons->enter(step.id) : beacons->exit(step.id));
        EXPECT_EQ(recorder->take(), step.events) << step.id << step.inRange;
    }
}

TEST_F(SoftwareLocationManagerTest, AuthorizationRequestGrantsTheConfiguredStatus) {
    EXPECT_EQ(manager->authorizationStatus(), LocationManager::kAuthorizationNotDetermined);
    EXPECT_EQ(manager->grantedAuthorizationStatus(), LocationManager::kAuthorizationAlways);
    manager->setGrantedAuthorizationStatus(LocationManager::kAuthorizationWhenInUse);
    manager->requestAlwaysAuthorization();
    EXPECT_EQ(manager->authorizationStatus(), LocationManager::kAuthorizationWhenInUse);
    manager->requestAlwaysAuthorization();  // decided already: nobody is asked again
    manager->setAuthorizationStatus(LocationManager::kAuthorizationDenied);
    manager->setAuthorizationStatus(LocationManager::kAuthorizationDenied);
    EXPECT_EQ(recorder->take(), (Events{"auth 4", "auth 2"}));
}

TEST_F(SoftwareLocationManagerTest, UpdatesReachTheDelegateOnlyWhileStarted) {
    authorize();
    source->push(away(10));
    ASSERT_TRUE(manager->location());  // the current location at once, without a delegate call
    EXPECT_NEAR(manager->location()->latitude, away(10).latitude, 1e-12);
    EXPECT_EQ(recorder->take(), Events{});

    manager->startUpdatingLocation();
    source->push(away(20));
    source->push(away(30));
    EXPECT_EQ(recorder->take(), (Events{"update 1", "update 1"}));

    manager->setDistanceFilter(100.0);
    source->push(away(60));   // 30 m from the last delivered fix
    source->push(away(131));  // 101 m
    EXPECT_EQ(recorder->take(), Events{"update 1"});
    manager->setDistanceFilter(-1.0);

    manager->setLocationServicesEnabled(false);
    source->push(away(40));
    manager->setLocationServicesEnabled(true);
    manager->setAuthorizationStatus(LocationManager::kAuthorizationDenied);
    source->push(away(50));
    EXPECT_EQ(recorder->take(), Events{"auth 2"});
    manager->setAuthorizationStatus(LocationManager::kAuthorizationWhenInUse);
    source->push(away(60));
    EXPECT_EQ(recorder->take(), (Events{"auth 4", "update 1"}));

    manager->stopUpdatingLocation();
    source->push(away(70));
    EXPECT_EQ(recorder->take(), Events{});
    EXPECT_NEAR(manager->location()->latitude, away(70).latitude, 1e-12);
}

TEST_F(SoftwareLocationManagerTest, InvalidFixesAreDropped) {
    authorize();
    manager->startUpdatingLocation();
    Location bad = away(10);
    bad.horizontalAccuracy = -1.0;
    Location nowhere = away(10);
    nowhere.latitude = 91.0;
    Location nan = away(10);
    nan.longitude = std::nan("");
    for (const auto& fix : {bad, nowhere, nan}) source->push(fix);
    EXPECT_FALSE(manager->location());
    EXPECT_EQ(recorder->take(), Events{});
}

TEST_F(SoftwareLocationManagerTest, RegionMonitoringNeedsAlwaysAuthorization) {
    manager->setAuthorizationStatus(LocationManager::kAuthorizationWhenInUse);
    monitorCircle("c");
    source->push(away(500));
    source->push(away(0));
    beacons->enter("c");
    EXPECT_EQ(recorder->take(), (Events{"auth 4", "start c"}));
    manager->setAuthorizationStatus(LocationManager::kAuthorizationAlways);
    source->push(away(1));  // the first fix the manager may judge
    source->push(away(500));
    EXPECT_EQ(recorder->take(), (Events{"auth 3", "exit c"}));
}

TEST_F(SoftwareLocationManagerTest, ReportedEventsMakeARegionWhenNoneIsMonitored) {
    monitorCircle("known");
    source->push(away(0));
    recorder->take();
    manager->reportRegionEvent("known", true, Region::Kind::Beacon);
    manager->reportRegionEvent("gf-9", false, Region::Kind::Circular);
    manager->reportRegionEvent("bc-1", true, Region::Kind::Beacon);
    EXPECT_EQ(recorder->take(), (Events{"enter known", "exit gf-9", "enter bc-1"}));
    auto seen = recorder->regions();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0], manager->monitoredRegions()[0]);
    EXPECT_EQ(seen[1]->kind(), Region::Kind::Circular);
    EXPECT_NEAR(static_cast<const CircularRegion&>(*seen[1]).latitude(), kLat, 1e-9);
    EXPECT_EQ(seen[2]->kind(), Region::Kind::Beacon);
}

TEST_F(SoftwareLocationManagerTest, SourcesAreLetGoWithTheManager) {
    authorize();
    manager.reset();
    EXPECT_FALSE(source->pushPosition(1.0, 2.0));
    EXPECT_FALSE(beacons->enter("x"));
}

TEST_F(SoftwareLocationManagerTest, ConcurrentFixesRangesAndMonitoringChanges) {
    authorize();
    manager->startUpdatingLocation();
    std::atomic<int> finished{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 300; ++i) manager->receiveFix(away((i + t) % 2 ? 10.0 : 500.0));
            ++finished;
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < 300; ++i) {
            monitorCircle("c" + std::to_string(i % 25));
            if (i % 3 == 0)
                manager->stopMonitoringForRegion(CircularRegion::make(0, 0, 1, "c" + std::to_string(i % 7)));
        }
        ++finished;
    });
    threads.emplace_back([&] {
        manager->startMonitoringForRegion(BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 1, 2, "b"));
        for (int i = 0; i < 300; ++i) (i % 2 ? beacons->exit("b") : beacons->enter("b"));
        ++finished;
    });
    while (finished < 4) {
        EXPECT_LE(manager->monitoredRegions().size(), LocationManager::kMaximumMonitoredRegions);
        (void)manager->location();
    }
    for (auto& thread : threads) thread.join();
    auto events = recorder->take();
    EXPECT_GT(events.size(), 300u);
    for (const auto& line : events) EXPECT_EQ(line.find("off-main"), std::string::npos) << line;
}

// Recorded routes: the GPX and NMEA readers and the replay source feeding a
// software location manager.
constexpr const char* kGpx = R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <trk><trkseg>
    <trkpt lat="10.4806" lon="-66.9036"><ele>900.5</ele><time>2023-11-14T22:13:20Z</time><hdop>2</hdop></trkpt>
    <trkpt lat="10.4810" lon="-66.9030"><time>2023-11-14T22:13:21.500Z</time></trkpt>
    <trkpt lat="95" lon="0"><time>2023-11-14T22:13:22Z</time></trkpt>
    <trkpt lat="abc" lon="0"/>
    <trkpt lon="1"/>
    <trkpt lat=" -33.5 " lon="151.25"><time>2023-11-14T23:13:23+01:00</time></trkpt>
  </trkseg></trk>
  <wpt lat="1" lon="2"><name>w</name></wpt>
</gpx>
)";

TEST(RouteParser, ReadsGpxTrackPoints) {
    auto fixes = RouteParser::parse(kGpx);
    ASSERT_EQ(fixes.size(), 4u);
    EXPECT_DOUBLE_EQ(fixes[0].latitude, 10.4806);
    EXPECT_DOUBLE_EQ(fixes[0].longitude, -66.9036);
    EXPECT_DOUBLE_EQ(fixes[0].altitude, 900.5);
    EXPECT_DOUBLE_EQ(fixes[0].horizontalAccuracy, 10.0);
    EXPECT_DOUBLE_EQ(fixes[0].timestamp, 1700000000.0);
    EXPECT_DOUBLE_EQ(fixes[1].timestamp, 1700000001.5);
    EXPECT_DOUBLE_EQ(fixes[1].horizontalAccuracy, RouteParser::kDefaultAccuracy);
    EXPECT_DOUBLE_EQ(fixes[2].latitude, -33.5);
    EXPECT_DOUBLE_EQ(fixes[2].timestamp, 1700000003.0);  // the offset is taken off
    EXPECT_DOUBLE_EQ(fixes[3].longitude, 2.0);
    EXPECT_EQ(fixes[3].timestamp, 0.0);
}

TEST(RouteParser, RefusesBrokenOrHostileXml) {
    EXPECT_FALSE(RouteParser::parseGpx("<gpx><trkpt lat='1' lon='2'>"));
    EXPECT_FALSE(RouteParser::parseGpx(""));
    EXPECT_FALSE(RouteParser::parseGpx(R"(<!DOCTYPE gpx [<!ENTITY a "aaaa">]><gpx>&a;</gpx>)"));
    EXPECT_TRUE(RouteParser::parse("  <gpx><trkpt lat='1' lon='2'>").empty());
}

TEST(RouteParser, ReadsNmeaSentences) {
    const std::string log =
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
        "$GPRMC,123520,A,3345.000,S,07030.000,W,000.0,,230394,003.1,W\r\n"        // no checksum: accepted
        "$GPGGA,123521,4807.038,N,01131.000,E,0,00,,,M,,M,,*59\r\n"               // no fix
        "$GPRMC,123522,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*75\n"  // void
        "$GPRMC,123523,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*00\n"  // bad checksum
        "$GPGGA,123524,9107.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\n"        // beyond the pole
        "garbage\n$GNGGA,123525,0000.600,S,00000.000,E,1,08,,,M,,M,,";
    auto fixes = RouteParser::parseNmea(log);
    ASSERT_EQ(fixes.size(), 3u);
    // GGA and RMC of one moment make one fix.
    EXPECT_NEAR(fixes[0].latitude, 48.1173, 1e-9);
    EXPECT_NEAR(fixes[0].longitude, 11.516666666666667, 1e-9);
    EXPECT_DOUBLE_EQ(fixes[0].altitude, 545.4);
    EXPECT_DOUBLE_EQ(fixes[0].horizontalAccuracy, 4.5);
    EXPECT_NEAR(fixes[0].speed, 22.4 * RouteParser::kKnot, 1e-9);
    EXPECT_DOUBLE_EQ(fixes[0].course, 84.4);
    EXPECT_DOUBLE_EQ(fixes[0].timestamp, 764426119.0);  // 1994-03-23 12:35:19 UTC
    EXPECT_DOUBLE_EQ(fixes[1].latitude, -33.75);
    EXPECT_DOUBLE_EQ(fixes[1].longitude, -70.5);
    EXPECT_DOUBLE_EQ(fixes[1].course, -1.0);
    EXPECT_NEAR(fixes[2].latitude, -0.01, 1e-12);
    EXPECT_DOUBLE_EQ(fixes[2].timestamp, 764426125.0);  // the date of the last RMC carries on
}

TEST(RouteParser, NmeaCoordinates) {
    struct Case {
        const char* value;
        const char* hemisphere;
        std::optional<double> degrees;
    } cases[] = {{"4807.038", "N", 48.1173},      {"01131.000", "W", -11.516666666666667},
                 {"9000.000", "S", -90.0},        {"9000.001", "N", std::nullopt},
                 {"18000.00", "E", 180.0},        {"4860.000", "N", std::nullopt},
                 {"48a7.038", "N", std::nullopt}, {"4807.038", "X", std::nullopt},
                 {"07.5", "N", std::nullopt},     {"", "N", std::nullopt},
                 {"123456.0", "N", std::nullopt}};
    for (const auto& c : cases) {
        auto value = RouteParser::parseNmeaCoordinate(c.value, c.hemisphere);
        ASSERT_EQ(value.has_value(), c.degrees.has_value()) << c.value;
        EXPECT_NEAR(value.value_or(0), c.degrees.value_or(0), 1e-9) << c.value;
    }
}

TEST(ReplayLocationSource, ReplaysAFileThroughTheManager) {
    test::TempDir dir;
    // Out of the circle, into it, out again: one minute apart, replayed without pauses.
    const std::string nmea =
        "$GPRMC,120000,A,1000.000,N,02000.000,E,0,0,010124,,\n"
        "$GPRMC,120100,A,1000.010,N,02000.000,E,0,0,010124,,\n"
        "$GPRMC,120200,A,1000.000,N,02000.000,E,0,0,010124,,\n"
        "$GPRMC,120300,A,1000.030,N,02000.000,E,0,0,010124,,\n";
    std::string error;
    auto source = ReplayLocationSource::fromFile(dir.write("route.nmea", nmea).string(), 0.0, &error);
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->route().size(), 4u);

    auto manager = SoftwareLocationManager::create(nullptr, nullptr);
    auto recorder = std::make_shared<LocationRecorder>();
    manager->setDelegate(recorder);
    manager->requestAlwaysAuthorization();
    manager->startUpdatingLocation();
    // 0.01' of latitude is about 18 m: a 30 m circle around the second point.
    manager->startMonitoringForRegion(CircularRegion::make(10.0 + 0.01 / 60, 20.0, 30.0, "spot"));
    source->start([manager](const Location& fix) { manager->receiveFix(fix); });
    ASSERT_TRUE(source->waitFinished(10s));
    source->stop();
    // The first fix is inside: no entry.
    EXPECT_EQ(recorder->take(), (std::vector<std::string>{"auth 3", "start spot", "update 1", "update 1", "update 1",
                                                          "update 1", "exit spot"}));
}

TEST(ReplayLocationSource, StopEndsAPausedReplay) {
    std::vector<Location> route(3);
    route[0].timestamp = 100.0;
    route[1].timestamp = 4000.0;  // an hour later: the pause is capped, and stop cuts it short
    route[2].timestamp = 4001.0;
    ReplayLocationSource source(route, 1.0);
    std::mutex mutex;
    int delivered = 0;
    source.start([&](const Location&) {
        std::lock_guard lock(mutex);
        ++delivered;
    });
    EXPECT_FALSE(source.waitFinished(50ms));
    source.stop();
    EXPECT_FALSE(source.waitFinished(10ms));
    std::lock_guard lock(mutex);
    EXPECT_EQ(delivered, 1);
}

TEST(ReplayLocationSource, UnreadableFiles) {
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(ReplayLocationSource::fromFile((dir.path() / "missing.gpx").string(), 1.0, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_FALSE(ReplayLocationSource::fromFile(dir.write("empty.gpx", "<gpx></gpx>").string(), 1.0, &error));
    EXPECT_NE(error.find("no readable fix"), std::string::npos);
}

}  // namespace
}  // namespace quorvela
