#pragma once
#include <memory>
#include <string>

#include "sandbox/ServerThread.h"

#include "sandbox/CertificateAuthority.h"

namespace httplib {
class Request;
class Response;
class SSLServer;
}  // namespace httplib

namespace quorvela::sandbox {

class RestRouter;
class SandboxState;

/// The HTTPS side: the REST operations of the route table, the events
/// endpoint and the IP echo (chosen by the Host header), each request logged.
class SandboxServer {
public:
    SandboxServer(SandboxState& state, RestRouter& router, const CertificateAuthority::Files& certificates);
    ~SandboxServer();
    SandboxServer(const SandboxServer&) = delete;
    SandboxServer& operator=(const SandboxServer&) = delete;

    /// Binds `host`:`port` (0: any free port), serves on a thread of its own
    /// and returns the bound port. Throws std::runtime_error when it cannot.
    int start(const std::string& host, int port);
    void stop();

private:
    void handle(const httplib::Request& request, httplib::Response& response);

    SandboxState& state_;
    RestRouter& router_;
    std::unique_ptr<httplib::SSLServer> server_;
    ServerThread thread_;
};

}  // namespace quorvela::sandbox
