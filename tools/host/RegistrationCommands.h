#pragma once
// The registration commands of quorvela-host: register, unregister, token,
// subscribe-device and activate.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CommandTable.h"

namespace quorvela::host {

class RegistrationCommands {
public:
    /// The commands by name, for the command table.
    static std::vector<std::pair<std::string, CommandTable::Handler>> make(std::shared_ptr<QuorvelaCore> facade);

    /// The bytes that hex digits spell (two per byte, either case); throws
    /// CommandError for anything else.
    static std::vector<std::uint8_t> parseHex(const std::string& digits);
};

}  // namespace quorvela::host
