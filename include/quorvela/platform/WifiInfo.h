#pragma once
// The device's Wi-Fi interfaces and the network each one is connected to.

#include <optional>
#include <string>
#include <vector>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

/// Safe to use from any thread.
class QUORVELA_EXPORT WifiInfo {
public:
    virtual ~WifiInfo() = default;
    /// Names of the Wi-Fi interfaces, in a stable order; empty on a machine
    /// without Wi-Fi.
    virtual std::vector<std::string> supportedInterfaces() = 0;
    /// The information record of the network `interfaceName` is connected to:
    /// "SSID" (the network's name as text) and "BSSID" (the access point's
    /// hardware address, "aa:bb:cc:dd:ee:ff"); an entry the platform does not
    /// know is left out. Nothing when the interface is not connected.
    virtual std::optional<Value::Dictionary> currentNetworkInfo(const std::string& interfaceName) = 0;
};

}  // namespace quorvela
