#include "WifiCommands.h"

#include <stdexcept>

#include <nlohmann/json.hpp>

#include "platform/ValueConversions.h"
#include "quorvela/platform/ManualWifiInfo.h"

namespace quorvela::host {

namespace {

using Arguments = CommandTable::Arguments;
using Flow = CommandTable::Flow;

constexpr const char* kWifiUsage = "usage: wifi <json-object> | wifi none";

}  // namespace

std::vector<std::pair<std::string, CommandTable::Handler>> WifiCommands::make(std::shared_ptr<QuorvelaCore> facade) {
    std::vector<std::pair<std::string, CommandTable::Handler>> commands;
    commands.emplace_back("wifi", [facade](const Arguments& arguments) {
        if (arguments.size() != 1) throw CommandError{kWifiUsage};
        auto wifi = std::dynamic_pointer_cast<ManualWifiInfo>(facade->platform()->wifiInfo);
        if (!wifi) throw CommandError{"the Wi-Fi network cannot be set on this platform"};
        const Argument& network = arguments[0];
        if (!network.isJson && network.word == "none") {
            wifi->setCurrentNetwork(std::nullopt);
            return Flow::Continue;
        }
        if (!network.isJson || !network.json.is_object()) throw CommandError{kWifiUsage};
        Value record;
        try {
            record = fromJson(network.json);
        } catch (const std::length_error&) {
            throw CommandError{kWifiUsage};
        }
        const Value::Dictionary* dictionary = record.asDictionary();
        if (!dictionary) throw CommandError{kWifiUsage};
        wifi->setCurrentNetwork(*dictionary);
        return Flow::Continue;
    });
    commands.emplace_back("network-change", [facade](const Arguments& arguments) {
        if (arguments.size() > 1) throw CommandError{"usage: network-change [name]"};
        auto monitor = facade->platform()->networkMonitor;
        if (!monitor) throw CommandError{"no network monitor on this platform"};
        monitor->post(arguments.empty() ? std::string(NetworkMonitor::kNetworkChange) : arguments[0].text());
        return Flow::Continue;
    });
    return commands;
}

}  // namespace quorvela::host
