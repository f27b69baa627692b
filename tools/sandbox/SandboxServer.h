#pragma once
#include <chrono>
#include <cstddef>
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

class RequestDeadlines;
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

    /// Reading a request (TLS handshake and header) must end within this.
    static constexpr std::chrono::seconds kRequestDeadline{3};
    /// Connections served at once, each on a thread of its own.
    static constexpr std::size_t kMaxConnections = 512;

private:
    void handle(const httplib::Request& request, httplib::Response& response);

    SandboxState& state_;
    RestRouter& router_;
    std::unique_ptr<httplib::SSLServer> server_;
    std::unique_ptr<RequestDeadlines> deadlines_;  // after the server: it watches the server's connections
    ServerThread thread_;                          // last: stopped first, before the rest goes
};

}  // namespace quorvela::sandbox
