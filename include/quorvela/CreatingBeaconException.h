#pragma once
// Raised when a beacon's data cannot make a beacon region.

#include <stdexcept>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

class QUORVELA_EXPORT CreatingBeaconException : public std::runtime_error {
public:
    explicit CreatingBeaconException(Value::Dictionary userInfo)
        : std::runtime_error("Error in data of Beacon"), userInfo_(std::move(userInfo)) {}

    static constexpr const char* kName = "CreatingBeaconException";
    std::string name() const { return kName; }
    std::string reason() const { return what(); }
    /// The beacon's serialize dictionary.
    const Value::Dictionary& userInfo() const { return userInfo_; }

private:
    Value::Dictionary userInfo_;
};

}  // namespace quorvela
