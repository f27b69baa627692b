#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <numeric>
#include <set>

#include "platform/ThreadDispatcher.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;

TEST(ThreadDispatcher, MainQueueRunsInOrderOnOneThreadThatIsTheMainThread) {
    ThreadDispatcher dispatcher;
    std::vector<int> order;  // touched only by main-queue jobs
    std::atomic<int> onMain{0};
    std::set<std::thread::id> threads;
    for (int i = 0; i < 200; ++i)
        dispatcher.main([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
            if (dispatcher.isMainThread()) ++onMain;
        });
    ASSERT_TRUE(dispatcher.waitIdle(10s));
    std::vector<int> expected(200);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(onMain, 200);
    EXPECT_FALSE(dispatcher.isMainThread());
}

TEST(ThreadDispatcher, GlobalQueueRunsJobsConcurrentlyOffTheMainThread) {
    ThreadDispatcher dispatcher(3);
    EXPECT_EQ(dispatcher.globalThreadCount(), 3u);
    EXPECT_GE(ThreadDispatcher().globalThreadCount(), 2u);
    // Three jobs that each wait for the others can only finish when they run at once.
    std::mutex mutex;
    std::condition_variable cv;
    int arrived = 0;
    std::atomic<int> finished{0}, onMain{0};
    for (int i = 0; i < 3; ++i)
        dispatcher.global([&] {
            if (dispatcher.isMainThread()) ++onMain;
            std::unique_lock lock(mutex);
            ++arrived;
            cv.notify_all();
            if (cv.wait_for(lock, 10s, [&] { return arrived == 3; })) ++finished;
        });
    ASSERT_TRUE(dispatcher.waitIdle(20s));
    EXPECT_EQ(finished, 3);
    EXPECT_EQ(onMain, 0);
}

TEST(ThreadDispatcher, WaitIdleCoversQueuedRunningJobsAndActivities) {
    ThreadDispatcher dispatcher;
    EXPECT_TRUE(dispatcher.waitIdle(0ms));

    std::promise<void> gate;
    dispatcher.global([opened = gate.get_future().share()] { opened.wait(); });
    EXPECT_FALSE(dispatcher.waitIdle(30ms));  // a job is running
    gate.set_value();
    EXPECT_TRUE(dispatcher.waitIdle(10s));

    dispatcher.beginActivity();
    EXPECT_FALSE(dispatcher.waitIdle(30ms));  // a transfer is in flight
    // Work queued by the finishing activity is waited for too.
    std::atomic<bool> ran{false};
    dispatcher.global([&] {
        std::this_thread::sleep_for(20ms);
        dispatcher.main([&] { ran = true; });
        dispatcher.endActivity();
    });
    EXPECT_TRUE(dispatcher.waitIdle(10s));
    EXPECT_TRUE(ran);

    dispatcher.endActivity();  // an unbalanced end must not wrap the count
    EXPECT_TRUE(dispatcher.waitIdle(0ms));
}

TEST(ThreadDispatcher, AThrowingJobDoesNotStopTheQueue) {
    ThreadDispatcher dispatcher;
    std::atomic<int> after{0};
    dispatcher.main([] { throw std::runtime_error("boom"); });
    dispatcher.main([&] { ++after; });
    dispatcher.global([] { throw 42; });
    dispatcher.global([&] { ++after; });
    ASSERT_TRUE(dispatcher.waitIdle(10s));
    EXPECT_EQ(after, 2);
}

TEST(ThreadDispatcher, DestructionDrainsQueuedWork) {
    std::atomic<int> ran{0};
    {
        ThreadDispatcher dispatcher(2);
        for (int i = 0; i < 50; ++i) {
            dispatcher.global([&] { ++ran; });
            dispatcher.main([&] { ++ran; });
        }
    }
    EXPECT_EQ(ran, 100);
}

TEST(ThreadDispatcher, LastReferenceDroppedInsideAJobDoesNotDeadlock) {
    auto dispatcher = std::make_shared<ThreadDispatcher>(2);
    std::atomic<bool> done{false};
    std::weak_ptr<ThreadDispatcher> weak = dispatcher;
    dispatcher->global([keep = dispatcher, &done]() mutable {
        keep.reset();
        done = true;
    });
    dispatcher.reset();  // the job now holds the last reference and destroys it on a pool thread
    // The reference count drops before the destructor returns and the job goes on.
    for (int i = 0; i < 1000 && !(weak.expired() && done); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(done);
}

}  // namespace
}  // namespace quorvela
