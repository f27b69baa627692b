#pragma once
// A facade over the in-memory test platform, with a store that counts writes
// and flushes.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "core/QuorvelaCore.h"
#include "platform/MemoryKeyValueStore.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela::test {

class CountingStore : public MemoryKeyValueStore {
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

class CoreFixture : public ::testing::Test {
protected:
    CoreFixture() {
        platform->keyValueStore = store;
        facade = QuorvelaCore::create(platform);
    }
    ~CoreFixture() override { platform->dispatcher->waitIdle(std::chrono::seconds(10)); }

    void writeConfiguration(const Value::Dictionary& dict, const std::string& name = "Quorvela-Info.plist") {
        writePlist(dir, name, dict);
    }
    static Value::Dictionary goodConfiguration() {
        return {{"appName", "demo app"}, {"publicKey", "client-1"}, {"privateKey", "secret"}};
    }
    bool idle() { return platform->dispatcher->waitIdle(std::chrono::seconds(10)); }
    std::size_t eventRequests() { return http().requestCount(eventsUrl()); }

    CapturingLog& log() { return capturingLog(*platform); }
    FakeHttpClient& http() { return fakeHttp(*platform); }
    Value stored(const std::string& key) { return store->get(key); }

    TempDir dir;
    std::shared_ptr<Platform> platform = makeTestPlatform(dir);
    std::shared_ptr<CountingStore> store = std::make_shared<CountingStore>();
    std::shared_ptr<QuorvelaCore> facade;
};

}  // namespace quorvela::test
