#pragma once

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class SandboxState;

/// The admin API's location routes (JSON):
///   GET /locations     [{time, operation, deviceId, clientId, timeStamp, latitude, longitude,
///                        requestId, region, status, regionType, appName, platform}] (absent values null)
///   DELETE /locations  forgets the reports
///   GET /locations/behaviour, PUT /locations/behaviour {mode: "accept"|"reject"|"malformed"}
class LocationAdminRoutes {
public:
    static void add(httplib::Server& server, SandboxState& state);
};

}  // namespace quorvela::sandbox
