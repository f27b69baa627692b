#pragma once
// The workspace commands of quorvela-host that the workspace record serves
// itself: sync, reply, and show inbox / geofences / beacons.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CommandTable.h"

namespace quorvela::host {

class MessageCommands {
public:
    using Named = std::vector<std::pair<std::string, CommandTable::Handler>>;

    /// "sync" and "reply", for the command table.
    static Named make(std::shared_ptr<QuorvelaCore> facade);
    /// "inbox", "geofences" and "beacons", for the show command.
    static Named showTargets(std::shared_ptr<QuorvelaCore> facade, Output& output);
};

}  // namespace quorvela::host
