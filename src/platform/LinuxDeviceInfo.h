#pragma once
// Device facts from /etc/os-release and uname(2), read once.

#include <optional>
#include <string>

#include "quorvela/platform/DeviceInfo.h"

namespace quorvela {

class LinuxDeviceInfo : public DeviceInfo {
public:
    /// `osRelease` is the os-release file to read (tests point it elsewhere).
    explicit LinuxDeviceInfo(const std::string& osRelease = "/etc/os-release");

    std::string systemName() const override { return systemName_; }
    std::string systemVersion() const override { return systemVersion_; }
    std::string model() const override { return model_; }
    /// Desktop systems have no per-vendor identifier.
    std::optional<std::string> vendorIdentifier() const override { return std::nullopt; }

private:
    std::string systemName_;
    std::string systemVersion_;
    std::string model_;
};

}  // namespace quorvela
