#include <gtest/gtest.h>

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "LocationRecorder.h"
#include "platform/ThreadDispatcher.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/ManualBeaconSource.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::LocationRecorder;

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

    auto other = SoftwareLocationManager::create(dispatcher, nullptr);
    other->setDelegate(recorder);
    other->requestAlwaysAuthorization();
    EXPECT_EQ(other->authorizationStatus(), LocationManager::kAuthorizationAlways);
    EXPECT_EQ(recorder->take(), Events{"auth 3"});
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

TEST(SoftwareLocationManagerNoDispatcher, CallbacksRunOnTheCallingThread) {
    auto source = std::make_shared<ManualLocationSource>();
    auto manager = SoftwareLocationManager::create(nullptr, source);
    struct Inline : LocationManagerDelegate {
        std::vector<std::string> events;
        void didUpdateLocations(LocationManager& m, const std::vector<Location>&) override {
            // Calling back into the manager from a callback must not deadlock.
            events.push_back(m.location() ? "update" : "update without location");
        }
        void didChangeAuthorizationStatus(LocationManager&, int status) override {
            events.push_back("auth " + std::to_string(status));
        }
    };
    auto delegate = std::make_shared<Inline>();
    manager->setDelegate(delegate);
    manager->requestAlwaysAuthorization();
    manager->startUpdatingLocation();
    EXPECT_TRUE(source->pushPosition(1.0, 2.0));
    EXPECT_EQ(delegate->events, (std::vector<std::string>{"auth 3", "update"}));
}

}  // namespace
}  // namespace quorvela
