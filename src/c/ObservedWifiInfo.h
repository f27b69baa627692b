#pragma once
// Wi-Fi information that passes on what another source reads, and tells the
// C host when a read finds a different connection than the read before (the
// library reads it when the network changed, and reports Wi-Fi beacons for
// the change).

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "c/CallbackBridge.h"
#include "quorvela/platform/WifiInfo.h"

namespace quorvela::c {

class ObservedWifiInfo : public WifiInfo {
public:
    ObservedWifiInfo(std::shared_ptr<WifiInfo> inner, std::shared_ptr<CallbackBridge> bridge)
        : inner_(std::move(inner)), bridge_(std::move(bridge)) {}

    const std::shared_ptr<WifiInfo>& inner() const { return inner_; }

    std::vector<std::string> supportedInterfaces() override { return inner_->supportedInterfaces(); }
    std::optional<Value::Dictionary> currentNetworkInfo(const std::string& interfaceName) override;

private:
    const std::shared_ptr<WifiInfo> inner_;
    const std::shared_ptr<CallbackBridge> bridge_;
    std::mutex mutex_;
    bool seen_ = false;
    std::optional<Value::Dictionary> last_;
};

}  // namespace quorvela::c
