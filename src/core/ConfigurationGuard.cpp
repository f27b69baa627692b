#include "core/ConfigurationGuard.h"

#include "core/Settings.h"
#include "protocol/EventLogger.h"

namespace quorvela {

std::string ConfigurationGuard::notConfiguredLine(std::string_view operation) {
    return std::string(operation) +
           ": check in the configuration file (Quorvela-info.plist) some of the following keys "
           "(appName/publicKey/privateKey)";
}

std::string ConfigurationGuard::noUserLine(std::string_view operation) {
    return std::string(operation) + ": User can't be null or empty";
}

bool ConfigurationGuard::requireConfigured(std::string_view operation) const {
    if (Settings(*platform_.keyValueStore).isConfigured()) return true;
    EventLogger::debugMessage(platform_, notConfiguredLine(operation));
    return false;
}

bool ConfigurationGuard::requireUser(std::string_view operation) const {
    if (Settings(*platform_.keyValueStore).hasUser()) return true;
    EventLogger::debugMessage(platform_, noUserLine(operation));
    return false;
}

}  // namespace quorvela
