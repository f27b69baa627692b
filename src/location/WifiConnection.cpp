#include "location/WifiConnection.h"

#include <nlohmann/json.hpp>

#include "quorvela/Beacon.h"

namespace quorvela {

namespace {

std::string entryText(const Value::Dictionary& record, const std::string& key) {
    auto entry = record.find(key);
    if (entry == record.end() || entry->second.isNull()) return WifiConnection::kMissing;
    return entry->second.describe();
}

std::optional<std::string> textEntry(const nlohmann::json& object, const char* key) {
    auto entry = object.find(key);
    if (entry == object.end() || !entry->is_string()) return std::nullopt;
    return entry->get<std::string>();
}

// The "(null)" placeholder stands for a value the platform did not give; it
// must not match a beacon.
bool matches(const std::optional<std::string>& uuid, const std::optional<std::string>& value) {
    return uuid && value && *value != WifiConnection::kMissing && *uuid == *value;
}

}  // namespace

WifiConnection WifiConnection::fromRecord(const Value::Dictionary& record, const std::optional<std::string>& publicIP) {
    WifiConnection connection;
    connection.ssid = entryText(record, "SSID");
    connection.bssid = entryText(record, "BSSID");
    connection.ip = publicIP;
    connection.platform = "IOS";
    return connection;
}

std::optional<WifiConnection> WifiConnection::fromText(const std::string& text) {
    auto json = nlohmann::json::parse(text, nullptr, false);
    if (json.is_discarded() || !json.is_object()) return std::nullopt;
    WifiConnection connection;
    connection.ssid = textEntry(json, "SSID");
    connection.bssid = textEntry(json, "BSSID");
    connection.ip = textEntry(json, "IP");
    connection.platform = textEntry(json, "platform");
    return connection;
}

std::string WifiConnection::text() const {
    nlohmann::ordered_json json = nlohmann::ordered_json::object();
    if (ssid) json["SSID"] = *ssid;
    if (bssid) json["BSSID"] = *bssid;
    if (ip) json["IP"] = *ip;
    if (platform) json["platform"] = *platform;
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

std::shared_ptr<Beacon> WifiConnection::firstMatch(const std::vector<std::shared_ptr<Beacon>>& beacons) const {
    for (const auto& beacon : beacons) {
        if (!beacon) continue;
        auto uuid = beacon->uuid();
        if (matches(uuid, ssid) || matches(uuid, bssid) || matches(uuid, ip)) return beacon;
    }
    return nullptr;
}

}  // namespace quorvela
