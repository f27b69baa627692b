#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace quorvela::sandbox {

/// Counts changes of the sandbox's state so that watchers (the console's
/// change stream) can wait for the next one instead of polling.
class ChangeSignal {
public:
    /// Records one change and wakes every waiter.
    void notify();
    /// Wakes every waiter without a change; call it after setting the
    /// `stop` flag the waiters were given.
    void wakeAll();
    std::uint64_t sequence() const;
    /// Waits until the sequence differs from `seen`, `stop` is set or the
    /// timeout; returns the sequence then. A stop set before the wait began
    /// is seen too.
    std::uint64_t waitAfter(std::uint64_t seen, std::chrono::milliseconds timeout, const std::atomic<bool>& stop);

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::uint64_t sequence_ = 0;
};

}  // namespace quorvela::sandbox
