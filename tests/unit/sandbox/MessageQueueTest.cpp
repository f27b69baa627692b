// Pending messages are handed out once per device, also when the device's
// fetches run at the same time.
#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <thread>

#include "sandbox/MessageQueue.h"
#include "sandbox/SandboxState.h"
#include "support/TestSupport.h"

namespace quorvela::sandbox::test {
namespace {

TEST(MessageQueueTest, ConcurrentFetchesSplitTheQueueAndEachDeviceGetsEverything) {
    quorvela::test::TempDir dir;
    SandboxState state(dir.path() / "state.sqlite3");
    MessageQueue queue(state);
    for (int i = 0; i < 300; ++i)
        queue.queue(i % 3 == 0 ? "ws-2" : "ws-1", "user", {{"id", "m" + std::to_string(i)}, {"text", "t"}});

    std::mutex mutex;
    std::multiset<std::int64_t> delivered;
    std::vector<std::thread> fetches;
    for (int t = 0; t < 20; ++t) {
        fetches.emplace_back([&, t] {
            // Some fetch one workspace only, the others everything left.
            auto taken = queue.takePending("DEV-1", t % 4 == 0 ? std::optional<std::string>("ws-2") : std::nullopt);
            std::int64_t previous = 0;
            for (const auto& message : taken) {
                EXPECT_GT(message.row, previous) << "oldest first";
                previous = message.row;
                EXPECT_TRUE(t % 4 != 0 || message.clientId == "ws-2") << message.clientId;
            }
            std::lock_guard lock(mutex);
            for (const auto& message : taken) delivered.insert(message.row);
        });
    }
    for (auto& fetch : fetches) fetch.join();
    EXPECT_EQ(delivered.size(), 300u);
    EXPECT_EQ(std::set<std::int64_t>(delivered.begin(), delivered.end()).size(), 300u) << "each message once";
    EXPECT_TRUE(queue.takePending("DEV-1", std::nullopt).empty());
    EXPECT_EQ(queue.takePending("DEV-2", std::nullopt).size(), 300u) << "another device gets its own copy";
}

// Messages queued without an id within one millisecond still get ids of their
// own (and blast ids with them), or the client would keep only one of them.
TEST(MessageQueueTest, DefaultIdsDifferEvenWithinOneMillisecond) {
    quorvela::test::TempDir dir;
    SandboxState state(dir.path() / "state.sqlite3");
    MessageQueue queue(state);
    std::set<std::string> ids;
    for (int i = 0; i < 200; ++i) ids.insert(*queue.queue("ws-1", "user", {{"text", "t"}}).field("id"));
    EXPECT_EQ(ids.size(), 200u);
    EXPECT_EQ(queue.queue("ws-1", "user", {{"id", "given"}}).field("id"), "given");
}

}  // namespace
}  // namespace quorvela::sandbox::test
