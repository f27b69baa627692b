#pragma once
#include <string>

namespace quorvela::sandbox {

class SandboxState;

/// Each workspace's geofences and beacons as the admin set them: a JSON
/// array of objects, kept as given (table "region_lists").
class RegionLists {
public:
    enum class Kind { Geofences, Beacons };

    explicit RegionLists(SandboxState& state);

    /// `json`: an array of objects (validated by the caller).
    void set(const std::string& clientId, Kind kind, const std::string& json);
    /// "[]" when nothing was set.
    std::string get(const std::string& clientId, Kind kind);

private:
    SandboxState& state_;
};

}  // namespace quorvela::sandbox
