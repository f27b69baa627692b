#pragma once
#include <optional>
#include <string>

namespace quorvela {

/// The facade's credentials from the configuration file, as the loaders see
/// them when a call starts.
struct ClientCredentials {
    std::optional<std::string> appName;
    std::optional<std::string> clientID;
    std::optional<std::string> apiClientPrivateKey;
};

}  // namespace quorvela
