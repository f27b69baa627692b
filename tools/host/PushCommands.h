#pragma once
// The push commands of quorvela-host: push, unread and message. Each passes a
// completion handler that prints "done <command> <n>".

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CommandTable.h"

namespace quorvela::host {

class PushCommands {
public:
    using Named = std::vector<std::pair<std::string, CommandTable::Handler>>;

    /// The commands by name, for the command table.
    static Named make(std::shared_ptr<QuorvelaCore> facade, Output& output);
};

}  // namespace quorvela::host
