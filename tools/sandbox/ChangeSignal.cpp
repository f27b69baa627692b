#include "ChangeSignal.h"

namespace quorvela::sandbox {

void ChangeSignal::notify() {
    {
        std::lock_guard lock(mutex_);
        ++sequence_;
    }
    changed_.notify_all();
}

void ChangeSignal::wakeAll() {
    // Taking the lock orders this after any waiter's look at its stop flag:
    // it either sees the flag or is already waiting and hears this.
    { std::lock_guard lock(mutex_); }
    changed_.notify_all();
}

std::uint64_t ChangeSignal::sequence() const {
    std::lock_guard lock(mutex_);
    return sequence_;
}

std::uint64_t ChangeSignal::waitAfter(std::uint64_t seen, std::chrono::milliseconds timeout,
                                      const std::atomic<bool>& stop) {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [&] { return sequence_ != seen || stop.load(); });
    return sequence_;
}

}  // namespace quorvela::sandbox
