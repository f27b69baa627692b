#pragma once
// The default dispatcher: one thread serves the main queue in order, a pool
// of max(2, cores) threads serves the global queue.
//
// The queues and counters live in a state object shared with the threads, so
// that a thread stuck in a job can be left behind safely when the dispatcher
// is destroyed (the destructor never waits forever).

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "quorvela/platform/Dispatcher.h"

namespace quorvela {

class ThreadDispatcher : public Dispatcher {
public:
    /// `globalThreads` 0 means max(2, hardware cores).
    explicit ThreadDispatcher(std::size_t globalThreads = 0);
    /// Lets queued work finish for up to `drainTimeout`, drops what is still
    /// queued, then waits up to `joinTimeout` for the threads; threads still
    /// busy after that are detached.
    ~ThreadDispatcher() override;
    ThreadDispatcher(const ThreadDispatcher&) = delete;
    ThreadDispatcher& operator=(const ThreadDispatcher&) = delete;

    void async(Queue queue, Job job) override;
    void beginActivity() override;
    void endActivity() override;
    /// Called from one of the dispatcher's own jobs this cannot become idle
    /// (the caller is running) and returns false at the time-out.
    bool waitIdle(std::chrono::milliseconds timeout) override;
    bool isMainThread() const override;

    std::size_t globalThreadCount() const { return pool_.size(); }

    static constexpr std::chrono::milliseconds kDrainTimeout{5000};
    static constexpr std::chrono::milliseconds kJoinTimeout{2000};

private:
    struct State;
    static void serve(std::shared_ptr<State> state, Queue queue);

    std::shared_ptr<State> state_;
    std::thread main_;
    std::vector<std::thread> pool_;
    std::thread::id mainId_;
};

}  // namespace quorvela
