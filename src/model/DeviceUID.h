#pragma once
// The device identifier: made once at random and kept both in the secure
// item store and in the key-value store, so that it lives as long as either
// copy does. The secure store's copy wins when both exist.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "quorvela/Value.h"

namespace quorvela {

struct Platform;
class KeyValueStore;
class SecureStore;

class DeviceUID {
public:
    /// The key the library uses in both stores.
    static constexpr const char* kDefaultKey = "deviceUID";

    /// initWithKey: `key` names the key-value entry and both the account and
    /// the service of the secure item. Either store may be missing.
    DeviceUID(const Platform& platform, std::string key);

    /// The identifier under "deviceUID", made and stored when neither store
    /// has one.
    static std::string uid(const Platform& platform);

    const std::string& uidKey() const { return uidKey_; }
    /// The identifier: the held one, else the secure store's, else the
    /// key-value store's, else a fresh one; then `save`.
    std::string uid();
    /// Fills whichever store has no identifier; never overwrites one.
    void save();

    // Store helpers.
    /// The identifying attributes of the secure item.
    static Value::Dictionary keychainItemForKey(const std::string& key, const std::string& service);
    /// Adds the item (never updates one); the store's status.
    static std::int32_t setValueForKeychainKey(SecureStore& store, const std::string& value, const std::string& key,
                                               const std::string& service);
    /// The item's data as text; nothing on any failure.
    static std::optional<std::string> valueForKeychainKey(const SecureStore& store, const std::string& key,
                                                          const std::string& service);
    /// Stores and flushes; the flush's result.
    static bool setValueForUserDefaultsKey(KeyValueStore& store, const Value& value, const std::string& key);
    static Value valueForUserDefaultsKey(const KeyValueStore& store, const std::string& key);
    /// A new version-4 UUID, upper case.
    static std::string randomUUID();
    /// The advertising identifier: this platform has none.
    static std::optional<std::string> appleIFA();
    /// The vendor identifier, when the device information offers one.
    static std::optional<std::string> appleIFV(const Platform& platform);

private:
    std::optional<std::string> keychainValue() const;
    std::optional<std::string> userDefaultsValue() const;

    std::shared_ptr<KeyValueStore> keyValueStore_;
    std::shared_ptr<SecureStore> secureStore_;
    const std::string uidKey_;
    std::optional<std::string> uid_;
};

}  // namespace quorvela
