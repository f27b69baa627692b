#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/BackgroundTaskTable.h"

namespace quorvela::test {
namespace {

// Records begins and ends; keeps expiration handlers so a test can fire them.
class RecordingTasks : public BackgroundTasks {
public:
    TaskId begin(std::function<void()> expiration) override {
        std::lock_guard lock(mutex_);
        TaskId id = next_++;
        handlers_[id] = std::move(expiration);
        return id;
    }
    void end(TaskId task) override {
        std::lock_guard lock(mutex_);
        ended_.push_back(task);
    }
    void expire(TaskId task) {
        std::function<void()> handler;
        {
            std::lock_guard lock(mutex_);
            handler = handlers_.at(task);
        }
        handler();
    }
    std::vector<TaskId> ended() const {
        std::lock_guard lock(mutex_);
        return ended_;
    }

private:
    mutable std::mutex mutex_;
    TaskId next_ = 1;
    std::map<TaskId, std::function<void()>> handlers_;
    std::vector<TaskId> ended_;
};

class BackgroundTaskTableTest : public ::testing::Test {
protected:
    std::shared_ptr<RecordingTasks> tasks = std::make_shared<RecordingTasks>();
    std::shared_ptr<BackgroundTaskTable> table = BackgroundTaskTable::create(tasks);
};

TEST_F(BackgroundTaskTableTest, OverlappingTasksOfOneNameAllEnd) {
    table->begin("msg-1");
    table->begin("msg-1");
    EXPECT_EQ(table->entry("msg-1"), 2u);
    table->end("msg-1");
    EXPECT_EQ(tasks->ended(), std::vector<BackgroundTasks::TaskId>{2});
    EXPECT_EQ(table->entry("msg-1"), 1u) << "the first task is still open";
    table->end("msg-1");
    EXPECT_EQ(table->entry("msg-1"), BackgroundTasks::kInvalid);
    table->end("msg-1");
    EXPECT_EQ(tasks->ended(), (std::vector<BackgroundTasks::TaskId>{2, 1, 0})) << "an ended entry holds 0";
}

// An expiring task is ended under its identifier, and only while the table lives.
TEST_F(BackgroundTaskTableTest, ExpirationEndsTheTaskKeptUnderItsIdentifier) {
    table->begin("a");
    table->begin("b");
    tasks->expire(1);
    EXPECT_EQ(tasks->ended(), std::vector<BackgroundTasks::TaskId>{1});
    EXPECT_EQ(table->entry("a"), BackgroundTasks::kInvalid);
    EXPECT_EQ(table->entry("b"), 2u);
    table.reset();
    tasks->expire(2);
    EXPECT_EQ(tasks->ended(), std::vector<BackgroundTasks::TaskId>{1});
}

// Distinct names, some expiring, and a few names shared by every thread: each
// task ends exactly once and none stays open.
TEST_F(BackgroundTaskTableTest, ConcurrentUseEndsEveryTaskExactlyOnce) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 200;
    for (const bool shared : {false, true}) {
        SCOPED_TRACE(shared ? "shared names" : "own names");
        tasks = std::make_shared<RecordingTasks>();
        table = BackgroundTaskTable::create(tasks);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < kRounds; ++i) {
                    const std::string id = shared ? "shared-" + std::to_string(i % 3)
                                                  : "task-" + std::to_string(t) + "-" + std::to_string(i % 5);
                    table->begin(id);
                    if (!shared && i % 7 == 0) tasks->expire(*table->entry(id));
                    table->end(id);
                }
            });
        }
        for (auto& thread : threads) thread.join();
        std::map<BackgroundTasks::TaskId, int> counts;
        for (auto id : tasks->ended())
            if (id != 0) ++counts[id];
        for (const auto& [id, count] : counts) EXPECT_EQ(count, 1) << "task " << id;
        EXPECT_EQ(counts.size(), static_cast<std::size_t>(kThreads * kRounds));
    }
}

}  // namespace
}  // namespace quorvela::test
