#pragma once
#include <string>

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class RestRouter;
class SandboxState;

/// getGeoFences and getBeacons (app / client / time stamp, signed with the
/// workspace's key), and their admin routes:
///   PUT /workspaces/<clientId>/geofences [ {...}, ... ], GET the same
///   PUT /workspaces/<clientId>/beacons [ {...}, ... ], GET the same
/// Each object becomes one "geoFence" / "beacon" element whose children are
/// its members in the given order: texts and numbers as element text, null as
/// an empty element, an object as nested elements, and an array under
/// "rules" as a "rules" block of "rule" elements (rule data).
class ListEndpoints {
public:
    static void addTo(RestRouter& router);
    static void addAdminRoutes(httplib::Server& server, SandboxState& state);

    /// The reply for a stored list: `listElement` "geoFence" or "beacon".
    static std::string listReply(const std::string& json, const std::string& rootElement,
                                 const std::string& listElement);
};

}  // namespace quorvela::sandbox
