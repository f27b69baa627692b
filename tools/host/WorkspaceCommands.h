#pragma once
// The workspace-list commands of quorvela-host: available, subscribed, join,
// leave, and `show workspaces`.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CommandTable.h"

namespace quorvela::host {

class WorkspaceCommands {
public:
    using Named = std::vector<std::pair<std::string, CommandTable::Handler>>;

    /// "available", "subscribed", "join" and "leave"; their completion
    /// handlers print "done <command> <n>".
    static Named make(std::shared_ptr<QuorvelaCore> facade, Output& output);
    /// "workspaces", for the show command.
    static Named showTargets(std::shared_ptr<QuorvelaCore> facade, Output& output);
};

}  // namespace quorvela::host
