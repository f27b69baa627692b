#pragma once
// A platform with in-memory stores only, enough for the records.

#include <atomic>
#include <memory>
#include <string>

#include "platform/MemoryKeyValueStore.h"
#include "platform/MemorySecureStore.h"
#include "quorvela/platform/Platform.h"

namespace quorvela::test {

/// Counts writes, so tests can tell whether a store was touched.
class CountingKeyValueStore : public MemoryKeyValueStore {
public:
    void set(const std::string& key, const Value& value) override {
        ++writes;
        MemoryKeyValueStore::set(key, value);
    }
    std::atomic<int> writes{0};
};

inline std::shared_ptr<Platform> makeStorePlatform() {
    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = std::make_shared<CountingKeyValueStore>();
    platform->secureStore = std::make_shared<MemorySecureStore>();
    return platform;
}

inline CountingKeyValueStore& countingStore(const Platform& platform) {
    return dynamic_cast<CountingKeyValueStore&>(*platform.keyValueStore);
}

}  // namespace quorvela::test
