#pragma once
// The Linux Wi-Fi information: asks the kernel's nl80211 interface (through
// libnl-genl) for the wireless interfaces, the connected network's name and
// the access point it is associated with. A machine without Wi-Fi (no nl80211
// family) reports no interface. Each call opens its own short-lived socket,
// so calls from several threads do not meet.

#include "quorvela/platform/WifiInfo.h"

namespace quorvela {

class Nl80211WifiInfo : public WifiInfo {
public:
    /// Interfaces with a name, sorted by name.
    std::vector<std::string> supportedInterfaces() override;
    /// "SSID" from the interface (or the associated network's announcement),
    /// "BSSID" of the associated access point in lower-case hexadecimal pairs.
    std::optional<Value::Dictionary> currentNetworkInfo(const std::string& interfaceName) override;

    /// "aa:bb:cc:dd:ee:ff" for six bytes; nothing for any other length.
    static std::optional<std::string> hardwareAddress(const unsigned char* bytes, int length);
    /// The SSID element (id 0) of a block of information elements; nothing
    /// when there is none or the block is cut short.
    static std::optional<std::string> ssidFromElements(const unsigned char* bytes, int length);
};

}  // namespace quorvela
