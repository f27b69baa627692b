#pragma once
// A platform with in-memory stores only, enough for the records.

#include <atomic>
#include <memory>
#include <string>

#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/MemorySecureStore.h"
#include "quorvela/platform/Platform.h"

namespace quorvela::test {

/// Counts writes (removals too) and flushes, so tests can tell whether a
/// store was touched.
class CountingKeyValueStore : public MemoryKeyValueStore {
public:
    void set(const std::string& key, const Value& value) override {
        ++writes;
        MemoryKeyValueStore::set(key, value);
    }
    void remove(const std::string& key) override {
        ++writes;
        MemoryKeyValueStore::remove(key);
    }
    bool synchronize() override {
        ++flushes;
        return MemoryKeyValueStore::synchronize();
    }
    std::atomic<int> writes{0};
    std::atomic<int> flushes{0};
};

inline std::shared_ptr<Platform> makeStorePlatform() {
    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = std::make_shared<CountingKeyValueStore>();
    platform->secureStore = std::make_shared<MemorySecureStore>();
    return platform;
}

inline std::shared_ptr<WorkspaceRecord> workspaceOf(const std::shared_ptr<Platform>& platform,
                                                    const std::string& clientId) {
    auto workspace = WorkspaceRecord::create(platform);
    workspace->setClientId(clientId);
    return workspace;
}

inline CountingKeyValueStore& countingStore(const Platform& platform) {
    return dynamic_cast<CountingKeyValueStore&>(*platform.keyValueStore);
}

}  // namespace quorvela::test
