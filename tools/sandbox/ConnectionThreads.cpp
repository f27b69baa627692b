#include "ConnectionThreads.h"

namespace quorvela::sandbox {

ConnectionThreads::ConnectionThreads(std::size_t maxThreads, std::atomic<std::uint64_t>& accepted)
    : maxThreads_(maxThreads), accepted_(accepted) {}

ConnectionThreads::~ConnectionThreads() { shutdown(); }

void ConnectionThreads::enqueue(std::function<void()> job) {
    accepted_.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    if (stopping_) return;  // the server accepts nothing after it stops
    jobs_.push_back(std::move(job));
    if (idle_ < jobs_.size() && threads_.size() < maxThreads_) {
        threads_.emplace_back([this] { work(); });
    } else {
        ready_.notify_one();
    }
}

void ConnectionThreads::shutdown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    ready_.notify_all();
    for (auto& thread : threads) thread.join();
}

void ConnectionThreads::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        ++idle_;
        ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        --idle_;
        // Connections already accepted are still served when stopping.
        if (jobs_.empty()) return;
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}  // namespace quorvela::sandbox
