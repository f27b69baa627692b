#include <chrono>

#include <gtest/gtest.h>

#include "platform/BasicLocationManager.h"
#include "platform/ThreadDispatcher.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"

namespace quorvela {
namespace {

class Recorder : public LocationManagerDelegate {
public:
    void didStartMonitoringForRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        std::lock_guard lock(mutex);
        events.push_back("start " + region->identifier() + (onMain() ? " main" : ""));
    }
    void monitoringDidFailForRegion(LocationManager&, const std::shared_ptr<Region>& region,
                                    const std::string& error) override {
        std::lock_guard lock(mutex);
        events.push_back("fail " + region->identifier() + ": " + error);
    }
    void didChangeAuthorizationStatus(LocationManager&, int status) override {
        std::lock_guard lock(mutex);
        events.push_back("auth " + std::to_string(status));
    }
    bool onMain() const { return dispatcher && dispatcher->isMainThread(); }
    std::shared_ptr<Dispatcher> dispatcher;
    std::mutex mutex;
    std::vector<std::string> events;
};

std::shared_ptr<CircularRegion> circle(const std::string& id, double radius = 100.0) {
    return CircularRegion::make(10.0, 20.0, radius, id);
}

TEST(BasicLocationManager, KeepsAtMostTwentyRegions) {
    auto manager = std::make_shared<BasicLocationManager>();
    auto recorder = std::make_shared<Recorder>();
    manager->setDelegate(recorder);
    for (int i = 0; i < 20; ++i) manager->startMonitoringForRegion(circle("r" + std::to_string(i)));
    EXPECT_EQ(manager->monitoredRegions().size(), 20u);
    manager->startMonitoringForRegion(circle("r20"));
    EXPECT_EQ(manager->monitoredRegions().size(), 20u);
    ASSERT_EQ(recorder->events.size(), 21u);
    EXPECT_EQ(recorder->events.back(), std::string("fail r20: ") + BasicLocationManager::kLimitError);

    // A known identifier replaces its region even when full.
    auto bigger = circle("r3", 500.0);
    manager->startMonitoringForRegion(bigger);
    auto regions = manager->monitoredRegions();
    EXPECT_EQ(regions.size(), 20u);
    EXPECT_EQ(regions[3], bigger);
    EXPECT_EQ(recorder->events.back(), "start r3");

    manager->stopMonitoringForRegion(circle("r3"));
    manager->stopMonitoringForRegion(circle("unknown"));
    EXPECT_EQ(manager->monitoredRegions().size(), 19u);
    manager->startMonitoringForRegion(BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 1, 2, "b"));
    EXPECT_EQ(manager->monitoredRegions().size(), 20u);

    // A radius beyond the maximum distance is refused.
    manager->stopMonitoringForRegion(circle("r0"));
    manager->startMonitoringForRegion(circle("far", manager->maximumRegionMonitoringDistance() + 1));
    EXPECT_EQ(recorder->events.back(), std::string("fail far: ") + BasicLocationManager::kRadiusError);
    EXPECT_EQ(manager->maximumRegionMonitoringDistance(), 100000.0);
}

TEST(BasicLocationManager, CallbacksGoThroughTheMainQueue) {
    auto dispatcher = std::make_shared<ThreadDispatcher>();
    auto manager = std::make_shared<BasicLocationManager>(dispatcher);
    auto recorder = std::make_shared<Recorder>();
    recorder->dispatcher = dispatcher;
    manager->setDelegate(recorder);
    manager->requestAlwaysAuthorization();
    manager->requestWhenInUseAuthorization();  // already decided: no change
    manager->startMonitoringForRegion(circle("x"));
    ASSERT_TRUE(dispatcher->waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(recorder->events, (std::vector<std::string>{"auth 3", "start x main"}));
    EXPECT_EQ(manager->authorizationStatus(), LocationManager::kAuthorizationAlways);
}

TEST(Regions, CreationValidatesItsInput) {
    EXPECT_TRUE(CircularRegion::make(-90.0, 180.0, 0.0, "a"));
    EXPECT_FALSE(CircularRegion::make(91.0, 0.0, 1.0, "a"));
    EXPECT_FALSE(CircularRegion::make(0.0, 0.0, -0.5, "a"));
    const auto uuid = "e2c56db5-dffb-48d2-b060-d0f5a71096e0";
    const auto region = BeaconRegion::make(uuid, 65535, 0, "b");
    ASSERT_TRUE(region);
    EXPECT_EQ(region->proximityUUID(), "E2C56DB5-DFFB-48D2-B060-D0F5A71096E0");
    EXPECT_TRUE(region->isEqual(*BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 65535, 0, "b")));
    EXPECT_FALSE(region->isEqual(*BeaconRegion::make(uuid, 65535, 1, "b")));
    EXPECT_FALSE(region->isEqual(*circle("b")));
    EXPECT_FALSE(BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0 ", 1, 1, "b"));
}

}  // namespace
}  // namespace quorvela
