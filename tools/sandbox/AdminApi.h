#pragma once
#include <atomic>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "sandbox/ServerThread.h"

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class AdminAccess;
class ConsoleAssets;
class SandboxServer;
class SandboxState;

/// JSON over plain HTTP on a loopback port, to seed the sandbox and read what
/// clients sent:
///   GET /applications, POST /applications {appName, publicId, privateKey, defaultWorkspace?}
///   GET /events, GET /requests, GET /connections, DELETE /records
/// and the console page that drives them (ConsoleRoutes). Every route but the
/// page's files needs "Authorization: Bearer <token>" (AdminAccess).
/// Errors answer {"error": text} with a 4xx status.
class AdminApi {
public:
    /// `server` is the HTTPS side whose connection counts GET /connections
    /// reads; `consoleFolder` serves the console's files from a folder
    /// instead of the compiled-in copies.
    AdminApi(SandboxState& state, const SandboxServer& server, std::string token,
             std::optional<std::filesystem::path> consoleFolder = std::nullopt);
    ~AdminApi();
    AdminApi(const AdminApi&) = delete;
    AdminApi& operator=(const AdminApi&) = delete;

    /// Binds `host`:`port` (0: any free port) and returns the bound port;
    /// throws std::runtime_error when it cannot.
    int start(const std::string& host, int port);
    void stop();

    const std::string& token() const { return token_; }

private:
    void routes();

    SandboxState& state_;
    const SandboxServer& serviceServer_;
    const std::string token_;
    std::unique_ptr<ConsoleAssets> assets_;
    std::unique_ptr<AdminAccess> access_;  ///< set once the port is bound, before any request
    std::atomic<bool> stopping_{false};
    std::unique_ptr<httplib::Server> server_;
    ServerThread thread_;
};

}  // namespace quorvela::sandbox
