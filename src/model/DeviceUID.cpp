#include "model/DeviceUID.h"

#include "platform/Uuid.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

namespace {

// An empty or non-text value cannot tell devices apart: it counts as none.
std::optional<std::string> usable(std::optional<std::string> value) {
    if (value && value->empty()) return std::nullopt;
    return value;
}

}  // namespace

DeviceUID::DeviceUID(const Platform& platform, std::string key)
    : keyValueStore_(platform.keyValueStore), secureStore_(platform.secureStore), uidKey_(std::move(key)) {}

std::string DeviceUID::uid(const Platform& platform) { return DeviceUID(platform, kDefaultKey).uid(); }

std::optional<std::string> DeviceUID::keychainValue() const {
    if (!secureStore_) return std::nullopt;
    return usable(valueForKeychainKey(*secureStore_, uidKey_, uidKey_));
}

std::optional<std::string> DeviceUID::userDefaultsValue() const {
    if (!keyValueStore_) return std::nullopt;
    return usable(valueForUserDefaultsKey(*keyValueStore_, uidKey_).optionalText());
}

std::string DeviceUID::uid() {
    if (!uid_) uid_ = keychainValue();
    if (!uid_) uid_ = userDefaultsValue();
    if (!uid_) uid_ = randomUUID();
    save();
    return *uid_;
}

void DeviceUID::save() {
    if (!uid_) return;
    if (keyValueStore_ && !userDefaultsValue()) setValueForUserDefaultsKey(*keyValueStore_, Value(*uid_), uidKey_);
    // A failed add is tried again at the next request, which still finds nothing.
    if (secureStore_ && !keychainValue()) setValueForKeychainKey(*secureStore_, *uid_, uidKey_, uidKey_);
}

Value::Dictionary DeviceUID::keychainItemForKey(const std::string& key, const std::string& service) {
    return Value::Dictionary{{"class", Value("genericPassword")},
                             {"accessible", Value("always")},
                             {"account", Value(key)},
                             {"service", Value(service)}};
}

std::int32_t DeviceUID::setValueForKeychainKey(SecureStore& store, const std::string& value, const std::string& key,
                                               const std::string& service) {
    const auto item = keychainItemForKey(key, service);
    return store.addItem(*item.at("account").asText(), *item.at("service").asText(),
                         std::vector<std::uint8_t>(value.begin(), value.end()));
}

std::optional<std::string> DeviceUID::valueForKeychainKey(const SecureStore& store, const std::string& key,
                                                          const std::string& service) {
    const auto item = keychainItemForKey(key, service);
    std::vector<std::uint8_t> data;
    if (store.copyItem(*item.at("account").asText(), *item.at("service").asText(), data) != SecureStore::kSuccess)
        return std::nullopt;
    return std::string(data.begin(), data.end());
}

bool DeviceUID::setValueForUserDefaultsKey(KeyValueStore& store, const Value& value, const std::string& key) {
    store.set(key, value);
    return store.synchronize();
}

Value DeviceUID::valueForUserDefaultsKey(const KeyValueStore& store, const std::string& key) { return store.get(key); }

std::string DeviceUID::randomUUID() { return randomUuidString(); }

std::optional<std::string> DeviceUID::appleIFA() { return std::nullopt; }

std::optional<std::string> DeviceUID::appleIFV(const Platform& platform) {
    if (!platform.deviceInfo) return std::nullopt;
    return platform.deviceInfo->vendorIdentifier();
}

}  // namespace quorvela
