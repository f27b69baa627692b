#pragma once
// A WifiInfo whose interfaces and current network are set by hand (tests, the
// host tool, machines without Wi-Fi hardware).

#include <mutex>

#include "quorvela/Export.h"
#include "quorvela/platform/WifiInfo.h"

namespace quorvela {

class QUORVELA_EXPORT ManualWifiInfo : public WifiInfo {
public:
    /// One interface, "wlan0", not connected.
    ManualWifiInfo() = default;

    std::vector<std::string> supportedInterfaces() override;
    /// The record set by `setCurrentNetwork` for the first interface; nothing
    /// for any other name.
    std::optional<Value::Dictionary> currentNetworkInfo(const std::string& interfaceName) override;

    void setInterfaces(std::vector<std::string> interfaces);
    /// The network the first interface is connected to; nothing: not connected.
    void setCurrentNetwork(std::optional<Value::Dictionary> record);

private:
    mutable std::mutex mutex_;
    std::vector<std::string> interfaces_{"wlan0"};
    std::optional<Value::Dictionary> current_;
};

}  // namespace quorvela
