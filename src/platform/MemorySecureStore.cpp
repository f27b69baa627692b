#include "platform/MemorySecureStore.h"

namespace quorvela {

std::int32_t MemorySecureStore::addItem(const std::string& account, const std::string& service,
                                        const std::vector<std::uint8_t>& data) {
    if (auto status = failStatus_.load(); status != kSuccess) return status;
    std::lock_guard lock(mutex_);
    auto [it, inserted] = items_.try_emplace({account, service}, data);
    (void)it;
    return inserted ? kSuccess : kDuplicateItem;
}

std::int32_t MemorySecureStore::copyItem(const std::string& account, const std::string& service,
                                         std::vector<std::uint8_t>& data) const {
    if (auto status = failStatus_.load(); status != kSuccess) return status;
    std::lock_guard lock(mutex_);
    auto it = items_.find({account, service});
    if (it == items_.end()) return kItemNotFound;
    data = it->second;
    return kSuccess;
}

std::size_t MemorySecureStore::size() const {
    std::lock_guard lock(mutex_);
    return items_.size();
}

}  // namespace quorvela
