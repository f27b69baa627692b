#pragma once
// One Wi-Fi connection as the library remembers it: the network's name, its
// access point's hardware address, the public address behind it and the
// platform tag. Its text is compact JSON with the keys always in the order
// "SSID", "BSSID", "IP", "platform", so equal connections give equal texts.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Value.h"

namespace quorvela {

class Beacon;

class WifiConnection {
public:
    /// What an SSID or BSSID the platform did not supply is written as.
    static constexpr const char* kMissing = "(null)";

    /// From the platform's information record ("SSID", "BSSID"; a missing
    /// entry becomes "(null)") and the public address (absent: no "IP" key).
    static WifiConnection fromRecord(const Value::Dictionary& record, const std::optional<std::string>& publicIP);
    /// Back from a stored text; nothing when it is not a JSON object. Entries
    /// that are not texts are treated as absent.
    static std::optional<WifiConnection> fromText(const std::string& text);

    /// Compact JSON; bytes that are not UTF-8 are replaced, never thrown on.
    std::string text() const;

    /// The first beacon, in list order, whose `uuid` equals this connection's
    /// SSID, BSSID or IP; nothing when none does.
    std::shared_ptr<Beacon> firstMatch(const std::vector<std::shared_ptr<Beacon>>& beacons) const;

    std::optional<std::string> ssid;
    std::optional<std::string> bssid;
    std::optional<std::string> ip;
    std::optional<std::string> platform;
};

}  // namespace quorvela
