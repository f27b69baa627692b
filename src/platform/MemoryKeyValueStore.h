#pragma once
// A key-value store that lives only as long as the process: the store for
// tests, and the fallback when the data folder cannot be written.

#include <map>
#include <mutex>
#include <string>

#include "quorvela/platform/KeyValueStore.h"

namespace quorvela {

class MemoryKeyValueStore : public KeyValueStore {
public:
    Value get(const std::string& key) const override;
    void set(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;
    /// Nothing to make durable: always true.
    bool synchronize() override;

    /// Number of stored keys.
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, Value> values_;
};

}  // namespace quorvela
