#include "platform/MemoryKeyValueStore.h"

namespace quorvela {

Value MemoryKeyValueStore::get(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    return it == values_.end() ? Value() : it->second;
}

void MemoryKeyValueStore::set(const std::string& key, const Value& value) {
    if (value.isNull()) {
        remove(key);
        return;
    }
    std::lock_guard lock(mutex_);
    values_[key] = value;
}

void MemoryKeyValueStore::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    values_.erase(key);
}

bool MemoryKeyValueStore::synchronize() { return true; }

std::size_t MemoryKeyValueStore::size() const {
    std::lock_guard lock(mutex_);
    return values_.size();
}

}  // namespace quorvela
