#pragma once
// The location commands of quorvela-host: what a device's user and its
// location hardware do (authorize, services, location, enter / exit of a
// region), the two region operations of the facade (refresh-regions,
// reset-regions), and show regions / monitored / location.
//
// The platform must carry a SoftwareLocationManager (the default platform
// does); `--authorization N` becomes the status it grants when the library
// asks for always-authorization.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CommandTable.h"

namespace quorvela::host {

class LocationCommands {
public:
    using Named = std::vector<std::pair<std::string, CommandTable::Handler>>;

    /// The commands, for the command table; applies `options.authorization`
    /// to the platform's location manager.
    static Named make(std::shared_ptr<QuorvelaCore> facade, const HostOptions& options);
    /// "regions", "monitored" and "location", for the show command.
    static Named showTargets(std::shared_ptr<QuorvelaCore> facade, Output& output);
};

}  // namespace quorvela::host
