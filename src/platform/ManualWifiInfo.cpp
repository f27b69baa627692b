#include "quorvela/platform/ManualWifiInfo.h"

namespace quorvela {

std::vector<std::string> ManualWifiInfo::supportedInterfaces() {
    std::lock_guard lock(mutex_);
    return interfaces_;
}

std::optional<Value::Dictionary> ManualWifiInfo::currentNetworkInfo(const std::string& interfaceName) {
    std::lock_guard lock(mutex_);
    if (interfaces_.empty() || interfaces_.front() != interfaceName) return std::nullopt;
    return current_;
}

void ManualWifiInfo::setInterfaces(std::vector<std::string> interfaces) {
    std::lock_guard lock(mutex_);
    interfaces_ = std::move(interfaces);
}

void ManualWifiInfo::setCurrentNetwork(std::optional<Value::Dictionary> record) {
    std::lock_guard lock(mutex_);
    current_ = std::move(record);
}

}  // namespace quorvela
