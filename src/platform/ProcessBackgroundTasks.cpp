#include "platform/ProcessBackgroundTasks.h"

#include <vector>

namespace quorvela {

BackgroundTasks::TaskId ProcessBackgroundTasks::begin(std::function<void()> expiration) {
    std::lock_guard lock(mutex_);
    TaskId id = next_++;
    open_.emplace(id, std::move(expiration));
    return id;
}

void ProcessBackgroundTasks::end(TaskId task) {
    std::function<void()> dropped;  // destroyed outside the lock
    std::lock_guard lock(mutex_);
    auto it = open_.find(task);
    if (it == open_.end()) return;
    dropped = std::move(it->second);
    open_.erase(it);
}

std::size_t ProcessBackgroundTasks::openCount() const {
    std::lock_guard lock(mutex_);
    return open_.size();
}

void ProcessBackgroundTasks::expireAll() {
    std::vector<std::function<void()>> handlers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, handler] : open_)
            if (handler) handlers.push_back(handler);
    }
    for (auto& handler : handlers) handler();
}

}  // namespace quorvela
