#include "quorvela/platform/ManualNetworkMonitor.h"

#include <vector>

namespace quorvela {

NetworkMonitor::ObserverId ManualNetworkMonitor::addObserver(const std::optional<std::string>& name,
                                                             Callback callback) {
    std::lock_guard lock(mutex_);
    ObserverId id = next_++;
    observers_.emplace(id, Observer{name, std::move(callback)});
    return id;
}

void ManualNetworkMonitor::removeObserver(ObserverId observer) {
    std::lock_guard lock(mutex_);
    observers_.erase(observer);
}

void ManualNetworkMonitor::post(const std::string& name) {
    std::vector<Callback> matching;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [id, observer] : observers_)
            if ((!observer.name || *observer.name == name) && observer.callback) matching.push_back(observer.callback);
    }
    for (const auto& callback : matching) callback(name);
}

std::size_t ManualNetworkMonitor::observerCount() const {
    std::lock_guard lock(mutex_);
    return observers_.size();
}

}  // namespace quorvela
