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
    {
        std::lock_guard lock(mutex_);
        ++wakeups_;
    }
    changed_.notify_all();
}

std::uint64_t ChangeSignal::sequence() const {
    std::lock_guard lock(mutex_);
    return sequence_;
}

std::uint64_t ChangeSignal::waitAfter(std::uint64_t seen, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const std::uint64_t wakeups = wakeups_;
    changed_.wait_for(lock, timeout, [&] { return sequence_ != seen || wakeups_ != wakeups; });
    return sequence_;
}

}  // namespace quorvela::sandbox
