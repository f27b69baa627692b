#pragma once
// The Wi-Fi commands of quorvela-host: `wifi <json-object>` / `wifi none` set
// the current network of the manual Wi-Fi port (nothing is posted), and
// `network-change [name]` posts a system notification through the platform's
// network monitor.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CommandTable.h"

namespace quorvela::host {

class WifiCommands {
public:
    /// The commands by name, for the command table. `wifi` needs the
    /// platform's Wi-Fi port to be a ManualWifiInfo (the tool installs one).
    static std::vector<std::pair<std::string, CommandTable::Handler>> make(std::shared_ptr<QuorvelaCore> facade);
};

}  // namespace quorvela::host
