#include <regex>

#include <gtest/gtest.h>

#include "model/DeviceUID.h"
#include "unit/model/ModelTestSupport.h"

namespace quorvela {
namespace {

using test::countingStore;
using test::makeStorePlatform;

constexpr const char* kKey = "deviceUID";
constexpr const char* kFresh = "<fresh>";

std::optional<std::string> secureValue(const Platform& platform) {
    std::vector<std::uint8_t> data;
    if (dynamic_cast<MemorySecureStore&>(*platform.secureStore).copyItem(kKey, kKey, data) != SecureStore::kSuccess)
        return std::nullopt;
    return std::string(data.begin(), data.end());
}

bool isFreshUuid(const std::string& text) {
    static const std::regex form("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
    return std::regex_match(text, form);
}

TEST(DeviceUID, StoreCombinations) {
    struct Row {
        const char* what;
        std::optional<std::string> secure;       // the secure store's item at the start
        Value keyValue;                          // the key-value store's entry at the start
        bool secureFails;                        // every secure store call fails
        std::string expected;                    // kFresh: a new UUID
        std::optional<std::string> secureAfter;  // kFresh: the returned value
        std::optional<std::string> keyValueAfter;
    };
    const Row rows[] = {
        {"both empty", std::nullopt, Value(), false, kFresh, kFresh, kFresh},
        {"secure only", "A", Value(), false, "A", "A", "A"},
        {"key-value only", std::nullopt, Value("B"), false, "B", "B", "B"},
        {"both, different", "A", Value("B"), false, "A", "A", "B"},
        {"both, equal", "A", Value("A"), false, "A", "A", "A"},
        {"any form is taken", "not-a-uuid \xC3\xA9", Value(), false, "not-a-uuid \xC3\xA9", "not-a-uuid \xC3\xA9",
         "not-a-uuid \xC3\xA9"},
        {"secure store broken, key-value has it", std::nullopt, Value("B"), true, "B", std::nullopt, "B"},
        {"secure store broken, nothing stored", std::nullopt, Value(), true, kFresh, std::nullopt, kFresh},
        {"empty key-value entry is no identifier", "A", Value(""), false, "A", "A", "A"},
        {"non-text key-value entry is no identifier", std::nullopt, Value(12), false, kFresh, kFresh, kFresh},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto platform = makeStorePlatform();
        auto& secure = dynamic_cast<MemorySecureStore&>(*platform->secureStore);
        if (row.secure) secure.addItem(kKey, kKey, std::vector<std::uint8_t>(row.secure->begin(), row.secure->end()));
        platform->keyValueStore->set(kKey, row.keyValue);
        if (row.secureFails) secure.setFailStatus(SecureStore::kIoError);

        const std::string got = DeviceUID::uid(*platform);
        if (row.expected == kFresh) {
            EXPECT_TRUE(isFreshUuid(got)) << got;
        } else {
            EXPECT_EQ(got, row.expected);
        }
        auto resolve = [&](const std::optional<std::string>& v) -> std::optional<std::string> {
            if (v && *v == kFresh) return got;
            return v;
        };
        secure.setFailStatus(SecureStore::kSuccess);
        EXPECT_EQ(secureValue(*platform), resolve(row.secureAfter));
        EXPECT_EQ(platform->keyValueStore->get(kKey).optionalText(), resolve(row.keyValueAfter));

        // A second request gives the same value; with both stores filled it
        // writes nothing.
        if (row.secureFails) secure.setFailStatus(SecureStore::kIoError);
        const int writes = countingStore(*platform).writes;
        const std::size_t items = secure.size();
        EXPECT_EQ(DeviceUID::uid(*platform), got);
        EXPECT_EQ(countingStore(*platform).writes, writes);
        EXPECT_EQ(secure.size(), items);
    }
}

TEST(DeviceUID, InstanceKeepsItsKeyAndValue) {
    auto platform = makeStorePlatform();
    DeviceUID device(*platform, "otherKey");
    EXPECT_EQ(device.uidKey(), "otherKey");
    const auto first = device.uid();
    EXPECT_EQ(platform->keyValueStore->get("otherKey"), Value(first));
    EXPECT_FALSE(platform->keyValueStore->contains(kKey));
    // The held value wins even after the stores changed.
    platform->keyValueStore->set("otherKey", Value("changed"));
    EXPECT_EQ(device.uid(), first);
    EXPECT_NE(DeviceUID::randomUUID(), DeviceUID::randomUUID());
}

TEST(DeviceUID, KeychainHelpersNeverOverwrite) {
    MemorySecureStore store;
    EXPECT_EQ(DeviceUID::setValueForKeychainKey(store, "one", "k", "s"), SecureStore::kSuccess);
    EXPECT_EQ(DeviceUID::setValueForKeychainKey(store, "two", "k", "s"), SecureStore::kDuplicateItem);
    EXPECT_EQ(DeviceUID::valueForKeychainKey(store, "k", "s"), "one");
    EXPECT_EQ(DeviceUID::valueForKeychainKey(store, "k", "other"), std::nullopt);
    const auto item = DeviceUID::keychainItemForKey("k", "s");
    EXPECT_EQ(item.at("account"), Value("k"));
    EXPECT_EQ(item.at("service"), Value("s"));
}

}  // namespace
}  // namespace quorvela
