// The C interface under load from several threads: calls on one handle race
// each other and its close. Every call answers OK or CLOSED, every accepted
// completion arrives exactly once, and none arrives after close returned.
// Stale handles after a reopen are CLifecycleTest's.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "unit/c/CHandleFixture.h"

namespace quorvela::test {
namespace {

constexpr int kThreads = 6;
constexpr int kRounds = 20;

struct Counters {
    std::atomic<int> completions{0};
    std::atomic<bool> closed{false};
    std::atomic<int> late{0};

    static void onFetch(void* userData, quorvela_fetch_result_t) {
        auto* self = static_cast<Counters*>(userData);
        if (self->closed) ++self->late;
        ++self->completions;
    }
};

// One of the operations, by number; answers the call's status.
quorvela_status_t call(quorvela_handle_t* handle, int which, Counters& counters) {
    char* json = nullptr;
    quorvela_status_t status = QUORVELA_OK;
    switch (which % 6) {
    case 0:
        status = quorvela_process_push(handle, "{\"clientId\":\"x\"}", &Counters::onFetch, &counters, nullptr);
        break;
    case 1: status = quorvela_subscribed_workspaces(handle, &json, nullptr); break;
    case 2: status = quorvela_log_event(handle, "STRESS", "x", nullptr, nullptr); break;
    case 3: status = quorvela_set_position(handle, 52.0 + which * 1e-4, 13.0, 5.0, nullptr); break;
    case 4: status = quorvela_inbox(handle, "x", &json, nullptr); break;
    default: status = quorvela_set_wifi(handle, which % 2 ? "a" : nullptr, nullptr, nullptr); break;
    }
    quorvela_free(json);
    return status;
}

class CInterfaceStressTest : public CHandleFixture {};

TEST_F(CInterfaceStressTest, CallsRacingCloseAreAnsweredAndCompletedExactlyOnce) {
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_NE(open(), nullptr);
        Counters counters;
        std::atomic<int> accepted{0};
        std::atomic<int> unexpected{0};
        std::atomic<bool> go{false};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t, h = handle] {
                while (!go) std::this_thread::yield();
                for (int i = 0; i < 200; ++i) {
                    const auto status = call(h, t * 200 + i, counters);
                    if (status == QUORVELA_OK && (t * 200 + i) % 6 == 0) ++accepted;
                    // inbox of an unknown workspace: not found while open
                    if (status != QUORVELA_OK && status != QUORVELA_ERR_CLOSED && status != QUORVELA_ERR_NOT_FOUND)
                        ++unexpected;
                }
            });
        }
        go = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(round % 5));
        auto* closing = handle;
        EXPECT_EQ(close(), QUORVELA_OK);
        counters.closed = true;
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(quorvela_flush(closing, 0, nullptr), QUORVELA_ERR_CLOSED);
        EXPECT_EQ(unexpected.load(), 0);
        EXPECT_EQ(counters.completions.load(), accepted.load()) << "round " << round;
        EXPECT_EQ(counters.late.load(), 0) << "round " << round;
        ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
        platform = makeTestPlatform(dir);
        platform->wifiInfo = wifi;
    }
}

}  // namespace
}  // namespace quorvela::test
