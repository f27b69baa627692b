#include "core/BackgroundTaskTable.h"

namespace quorvela {

std::shared_ptr<BackgroundTaskTable> BackgroundTaskTable::create(std::shared_ptr<BackgroundTasks> platform) {
    return std::make_shared<BackgroundTaskTable>(std::move(platform));
}

BackgroundTaskTable::BackgroundTaskTable(std::shared_ptr<BackgroundTasks> platform) : platform_(std::move(platform)) {}

void BackgroundTaskTable::begin(const std::string& identifier) {
    std::weak_ptr<BackgroundTaskTable> weak = weak_from_this();
    auto task = platform_->begin([weak, identifier] {
        if (auto table = weak.lock()) table->end(identifier);
    });
    std::lock_guard lock(mutex_);
    tasks_[identifier].push_back(task);
}

void BackgroundTaskTable::end(const std::string& identifier) {
    BackgroundTasks::TaskId task = BackgroundTasks::kInvalid;
    {
        std::lock_guard lock(mutex_);
        auto& open = tasks_[identifier];
        if (!open.empty()) {
            task = open.back();
            open.pop_back();
        }
    }
    platform_->end(task);
}

std::optional<BackgroundTasks::TaskId> BackgroundTaskTable::entry(const std::string& identifier) const {
    std::lock_guard lock(mutex_);
    auto it = tasks_.find(identifier);
    if (it == tasks_.end()) return std::nullopt;
    return it->second.empty() ? BackgroundTasks::kInvalid : it->second.back();
}

}  // namespace quorvela
