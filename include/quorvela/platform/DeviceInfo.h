#pragma once
#include <optional>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

class QUORVELA_EXPORT DeviceInfo {
public:
    virtual ~DeviceInfo() = default;
    virtual std::string systemName() const = 0;
    virtual std::string systemVersion() const = 0;
    virtual std::string model() const = 0;
    /// A per-vendor device identifier, when the platform has one.
    virtual std::optional<std::string> vendorIdentifier() const = 0;
};

}  // namespace quorvela
