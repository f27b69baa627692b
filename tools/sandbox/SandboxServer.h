#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sandbox/ServerThread.h"

#include "sandbox/CertificateAuthority.h"
#include "sandbox/SandboxRecords.h"

namespace httplib {
struct Request;
struct Response;
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

    /// Connections accepted and TLS handshakes completed since construction.
    ConnectionCounts connectionCounts() const;

    /// Reading a request (TLS handshake and header) must end within this.
    static constexpr std::chrono::seconds kRequestDeadline{3};
    /// Connections served at once, each on a thread of its own.
    static constexpr std::size_t kMaxConnections = 512;
    /// Requests served on one kept-alive connection before it is closed; a
    /// client's run of requests should not pay a new handshake every few.
    static constexpr std::size_t kMaxRequestsPerConnection = 1000;

private:
    void handle(const httplib::Request& request, httplib::Response& response);

    SandboxState& state_;
    RestRouter& router_;
    std::atomic<std::uint64_t> accepted_{0};
    std::unique_ptr<httplib::SSLServer> server_;
    std::unique_ptr<RequestDeadlines> deadlines_;  // after the server: it watches the server's connections
    ServerThread thread_;                          // last: stopped first, before the rest goes
};

}  // namespace quorvela::sandbox
