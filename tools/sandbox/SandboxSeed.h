#pragma once
// A whole world for the sandbox from one JSON file, so that a newcomer seeds
// it in one command (`quorvela-sandbox --seed FILE`). The members are those of
// the admin API's bodies, each optional:
//   {"applications":  [{"appName", "publicId", "privateKey", "defaultWorkspace"?}],
//    "workspaces":    [{"clientId", "name", "publicKey", "callbackURL"?}],
//    "users":         [{"deviceId", "publicId", "userId", "validated"?}],
//    "subscriptions": [{"appName", "userId", "clientId"}],
//    "messages":      [{"clientId", "user", "fields"?}],
//    "geofences":     {"<clientId>": [geofence, ...]},
//    "beacons":       {"<clientId>": [beacon, ...]}}
// Applied in that order; messages and lists need their workspace.
#include <string>

namespace quorvela::sandbox {

class SandboxState;

class SandboxSeed {
public:
    /// Applies the seed text. Throws std::invalid_argument naming the member
    /// and index of the first bad entry ("workspaces[1]: ..."); entries
    /// before it stay applied.
    static void apply(SandboxState& state, const std::string& jsonText);
};

}  // namespace quorvela::sandbox
