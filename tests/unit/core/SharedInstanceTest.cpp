#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "core/QuorvelaCore.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

// The only test of this program that touches the shared instance.
TEST(SharedInstanceTest, ConcurrentFirstCallsMakeOneInstanceOnInstalledPlatform) {
    TempDir dir;
    auto platform = makeTestPlatform(dir);
    EXPECT_FALSE(Quorvela::installPlatform(nullptr));
    ASSERT_TRUE(Quorvela::installPlatform(platform));

    constexpr int kThreads = 8;
    std::atomic<bool> go{false};
    std::vector<std::shared_ptr<Quorvela>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) std::this_thread::yield();
            seen[i] = Quorvela::sharedInstance();
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();

    for (const auto& instance : seen) EXPECT_EQ(instance, seen[0]);
    EXPECT_EQ(seen[0]->platform(), platform);
    EXPECT_FALSE(Quorvela::installPlatform(makeTestPlatform(dir))) << "too late once the instance exists";
    EXPECT_EQ(Quorvela::sharedInstance()->platform(), platform);

    // The class operations work on that instance.
    writePlist(dir, "Quorvela-Info.plist", {{"appName", "a"}, {"publicKey", "c"}, {"privateKey", "k"}});
    fakeHttp(*platform).answer(ipEchoUrl(), FakeHttpClient::reply("198.51.100.2"));
    Quorvela::configure();
    EXPECT_EQ(seen[0]->clientID(), "c");
    EXPECT_EQ(Quorvela::getPublicIP(), "198.51.100.2");
    EXPECT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
}

}  // namespace
}  // namespace quorvela::test
