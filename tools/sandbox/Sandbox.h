#pragma once
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/platform/HttpClient.h"
#include "sandbox/RestOperation.h"
#include "sandbox/SandboxRecords.h"

namespace quorvela::sandbox {

class SandboxState;

struct SandboxOptions {
    /// Holds the state (sandbox.sqlite) and the certificates (tls/); created if missing.
    std::filesystem::path dataDir;
    std::string host = "127.0.0.1";  ///< address of the HTTPS port
    int port = 0;                    ///< HTTPS port; 0 picks a free one
    /// Address of the admin port: loopback unless asked, wherever the HTTPS
    /// port listens, because the admin API hands out every private key.
    std::string adminHost = "127.0.0.1";
    int adminPort = 0;     ///< admin API port; 0 picks a free one
    bool adminApi = true;  ///< false: no admin HTTP server (the C++ calls below still work)
    /// The bearer token the admin API wants; empty: a random one per start.
    std::string adminToken;
    /// Serve the console's files from this folder instead of the compiled-in
    /// copies (for work on the page).
    std::optional<std::filesystem::path> consoleFolder;
};

/// A local stand-in for the engagement service, for in-process use (tests,
/// the host tool's demo) and behind the quorvela-sandbox program. Clients
/// reach it through HttpClientOptions{connectTo = connectTo(), caFile = caFile()}
/// with the service's real URLs. All operations are thread-safe.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();  ///< stops
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    /// Opens the state, makes or reuses the certificates and starts serving.
    /// Throws std::runtime_error when something cannot be set up.
    void start(const SandboxOptions& options);
    void stop();
    bool running() const;

    int port() const;
    int adminPort() const;  ///< 0 without the admin server
    /// The admin API's bearer token ("Authorization: Bearer <token>"); empty
    /// without the admin server.
    std::string adminToken() const;
    /// "http://127.0.0.1:<admin port>/#token=<token>": the console, opened
    /// with its token; empty without the admin server.
    std::string consoleUrl() const;
    std::filesystem::path caFile() const;
    /// "HOST:PORT" for HttpClientOptions::connectTo.
    std::string connectTo() const;
    /// HTTP client options that reach this sandbox: connectTo() and caFile().
    HttpClientOptions httpOptions() const;
    /// "https://<service host>/quorvela-staging/rest/message"
    static std::string baseUrl();

    // Seeding and reading back, the same operations as the admin API.
    void createApplication(const std::string& appName, const std::string& publicId, const std::string& privateKey,
                           const std::optional<std::string>& defaultWorkspace = std::nullopt);
    std::vector<Application> applications() const;
    std::vector<AnalyticsEvent> analyticsEvents() const;
    std::vector<RequestRecord> requests() const;
    void clearRecords();
    /// Connections the HTTPS port accepted and TLS handshakes it completed
    /// since this start.
    ConnectionCounts connectionCounts() const;

    /// Adds or replaces a REST operation of the route table (while serving is fine).
    void addOperation(const std::string& name, RestOperation operation);
    /// The state itself, for operations the calls above do not cover. Valid while started.
    SandboxState& state() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quorvela::sandbox
