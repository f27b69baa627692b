#pragma once

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class SandboxState;

/// The admin API's registration routes (JSON):
///   GET /users    [{deviceId, publicId, userId, validated}]
///   GET /devices  [{deviceId, publicId, pushToken}]
///   GET /registration, PUT /registration
///       {registerMode: "accept"|"reject"|"validate", validationCode, malformed: [operation, ...]}
///       (PUT changes only the members it names)
class RegistrationAdminRoutes {
public:
    static void add(httplib::Server& server, SandboxState& state);
};

}  // namespace quorvela::sandbox
