#pragma once
#include <memory>
#include <string>

#include "sandbox/ServerThread.h"

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class SandboxServer;
class SandboxState;

/// JSON over plain HTTP on a loopback port, to seed the sandbox and read what
/// clients sent:
///   GET /applications, POST /applications {appName, publicId, privateKey, defaultWorkspace?}
///   GET /events, GET /requests, GET /connections, DELETE /records
/// Errors answer {"error": text} with a 4xx status.
class AdminApi {
public:
    /// `server` is the HTTPS side whose connection counts GET /connections reads.
    AdminApi(SandboxState& state, const SandboxServer& server);
    ~AdminApi();
    AdminApi(const AdminApi&) = delete;
    AdminApi& operator=(const AdminApi&) = delete;

    /// Binds `host`:`port` (0: any free port) and returns the bound port;
    /// throws std::runtime_error when it cannot.
    int start(const std::string& host, int port);
    void stop();

private:
    void routes();

    SandboxState& state_;
    const SandboxServer& serviceServer_;
    std::unique_ptr<httplib::Server> server_;
    ServerThread thread_;
};

}  // namespace quorvela::sandbox
