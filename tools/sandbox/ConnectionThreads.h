#pragma once
// The HTTP server's task queue: each connection runs on a thread of its own,
// up to a cap, so that a few slow or idle clients never keep a well-behaved
// one waiting behind them in a fixed pool. Threads are made when every
// existing one is busy and stay for the next connections. Each job is one
// accepted connection, so the queue is also where they are counted.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace quorvela::sandbox {

class ConnectionThreads : public httplib::TaskQueue {
public:
    /// `accepted` counts the connections handed over; it outlives the queue,
    /// which the server makes anew each time it starts listening.
    ConnectionThreads(std::size_t maxThreads, std::atomic<std::uint64_t>& accepted);
    ~ConnectionThreads() override;

    void enqueue(std::function<void()> job) override;
    void shutdown() override;

private:
    void work();

    const std::size_t maxThreads_;
    std::atomic<std::uint64_t>& accepted_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

}  // namespace quorvela::sandbox
