// Both results of a synchronisation pass arriving at the same moment, over
// and over: the end of each pass must run exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <chrono>
#include <thread>

#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;

class Counter : public WorkspaceProtocol {
public:
    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>&) override { ++passes; }
    void synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>&) override { ++singles; }
    void synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>&) override { ++singles; }
    std::atomic<int> passes{0};
    std::atomic<int> singles{0};
};

class SynchronizationStressTest : public ::testing::Test {
protected:
    SynchronizationStressTest() {
        ws->setClientId("abc");
        ws->setPublicKey("key");
        ws->setDelegate(counter);
    }
    test::TempDir dir;
    std::shared_ptr<Platform> platform = test::makeTestPlatform(dir);
    std::shared_ptr<WorkspaceRecord> ws = WorkspaceRecord::create(platform);
    std::shared_ptr<Counter> counter = std::make_shared<Counter>();
};

TEST_F(SynchronizationStressTest, RacingResultsEndEachPassOnce) {
    constexpr int kPasses = 2000;
    std::barrier sync(2);
    std::thread beacons([&] {
        for (int i = 0; i < kPasses; ++i) {
            sync.arrive_and_wait();  // the pass is set up
            ws->loadBeaconsSuccess({});
            sync.arrive_and_wait();  // both results are in
        }
    });
    for (int i = 0; i < kPasses; ++i) {
        ws->setInProgress(true);
        ws->setSyncGeofence(false);
        ws->setSyncBeacons(false);
        sync.arrive_and_wait();
        ws->checkGeoFencesSuccess({});
        sync.arrive_and_wait();
        ASSERT_TRUE(ws->isSynchronized()) << "pass " << i;
        ASSERT_EQ(counter->passes.load(), i + 1) << "pass " << i;
    }
    beacons.join();
    EXPECT_EQ(counter->singles.load(), 0);
}

TEST_F(SynchronizationStressTest, ConcurrentSynchronizeOverTheTransport) {
    auto& http = test::fakeHttp(*platform);
    http.answer(serviceBaseUrl() + "/getGeoFences/",
                test::FakeHttpClient::reply("<l><geoFence><regionId>g</regionId></geoFence></l>"));
    http.answer(serviceBaseUrl() + "/getBeacons/", test::FakeHttpClient::reply("<l><beacon/></l>"));

    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds; ++round) {
        std::thread a([&] { ws->synchronize(); });
        std::thread b([&] {
            ws->synchronize();
            ws->getGeofences();
        });
        a.join();
        b.join();
        ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
        ASSERT_TRUE(ws->isSynchronized());
        // However the two calls interleaved, every pass that started ended
        // once: one pair of requests per reported pass.
        ASSERT_EQ(http.requestCount(serviceBaseUrl() + "/getGeoFences/"),
                  static_cast<std::size_t>(counter->passes.load()));
        ASSERT_EQ(http.requestCount(serviceBaseUrl() + "/getBeacons/"),
                  static_cast<std::size_t>(counter->passes.load()));
    }
    EXPECT_GE(counter->passes.load(), kRounds);
    EXPECT_EQ(ws->getGeofences().size(), 1u);
}

}  // namespace
}  // namespace quorvela
