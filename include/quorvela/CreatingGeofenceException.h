#pragma once
// Raised when a geofence's data cannot make a circular region.

#include <stdexcept>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

class QUORVELA_EXPORT CreatingGeofenceException : public std::runtime_error {
public:
    explicit CreatingGeofenceException(Value::Dictionary userInfo)
        : std::runtime_error("Error in data of Geofence"), userInfo_(std::move(userInfo)) {}

    static constexpr const char* kName = "CreatingGeofenceException";
    std::string name() const { return kName; }
    std::string reason() const { return what(); }
    /// The geofence's serialize dictionary.
    const Value::Dictionary& userInfo() const { return userInfo_; }

private:
    Value::Dictionary userInfo_;
};

}  // namespace quorvela
