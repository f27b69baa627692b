#include "c/ObservedWifiInfo.h"

namespace quorvela::c {

namespace {

std::optional<std::string> ssidOf(const std::optional<Value::Dictionary>& record) {
    if (!record) return std::nullopt;
    auto found = record->find("SSID");
    if (found == record->end() || !found->second.asText()) return std::string();
    return *found->second.asText();
}

}  // namespace

std::optional<Value::Dictionary> ObservedWifiInfo::currentNetworkInfo(const std::string& interfaceName) {
    auto record = inner_->currentNetworkInfo(interfaceName);
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        changed = !seen_ || record != last_;
        seen_ = true;
        last_ = record;
    }
    if (changed) bridge_->wifiEvent(ssidOf(record));
    return record;
}

}  // namespace quorvela::c
