#pragma once
// The facade's persisted keys and their typed reading and writing.

#include <cstdint>
#include <optional>
#include <string>

#include "quorvela/Value.h"
#include "quorvela/platform/KeyValueStore.h"

namespace quorvela {

class Settings {
public:
    static constexpr const char* kConfigureQuorvela = "configureQuorvela";
    static constexpr const char* kLoggingDisabled = "LoggingDisabled";
    static constexpr const char* kLocationDisabled = "locationDisabled";
    static constexpr const char* kAnalyticsDisabled = "analyticsDisabled";
    static constexpr const char* kMaxStoredMessages = "maxStoredMessages";
    static constexpr const char* kClientUserID = "clientUserID";
    static constexpr const char* kClientPhoneNumber = "clientPhoneNumber";
    static constexpr const char* kDeviceUniqueID = "deviceUniqueID";
    static constexpr const char* kValidated = "validated";
    static constexpr const char* kIsFirstTime = "isFirstTime";
    static constexpr const char* kDevicePushID = "devicePushID";

    explicit Settings(KeyValueStore& store) : store_(store) {}

    /// Copies "LoggingDisabled", "locationDisabled", "analyticsDisabled" (as
    /// booleans) and "maxStoredMessages" (as an integer) from `file`; a
    /// missing entry stores false / 0.
    void copyEnvironment(const Value::Dictionary& file);

    /// A key counts as present when it holds any value at all.
    bool isPresent(const char* key) const { return store_.contains(key); }
    /// The lenient boolean reading of the stored value (absent: false).
    bool flag(const char* key) const { return store_.get(key).boolValue(); }
    void setFlag(const char* key, bool value) { store_.set(key, Value(value)); }
    /// The stored value when it is text.
    std::optional<std::string> text(const char* key) const { return store_.get(key).optionalText(); }

    bool isConfigured() const { return isPresent(kConfigureQuorvela); }
    /// A user is known when "clientUserID" holds a non-empty value.
    bool hasUser() const;

private:
    KeyValueStore& store_;
};

}  // namespace quorvela
