#include "Sandbox.h"

#include <mutex>
#include <stdexcept>

#include "AdminAccess.h"
#include "AdminApi.h"
#include "CertificateAuthority.h"
#include "ListEndpoints.h"
#include "LocationEndpoints.h"
#include "MessageEndpoints.h"
#include "RegistrationEndpoints.h"
#include "RestRouter.h"
#include "SandboxServer.h"
#include "SandboxState.h"
#include "ServiceHosts.h"
#include "WorkspaceEndpoints.h"

namespace quorvela::sandbox {

struct Sandbox::Impl {
    mutable std::mutex mutex;
    RestRouter router;
    std::unique_ptr<SandboxState> state;
    std::unique_ptr<SandboxServer> server;
    std::unique_ptr<AdminApi> admin;
    CertificateAuthority::Files certificates;
    std::string host;
    std::string adminHost;
    int port = 0;
    int adminPort = 0;

    SandboxState& requireState() const {
        if (!state) throw std::logic_error("The sandbox is not started");
        return *state;
    }
};

Sandbox::Sandbox() : impl_(std::make_unique<Impl>()) {
    RegistrationEndpoints::addTo(impl_->router);
    LocationEndpoints::addTo(impl_->router);
    MessageEndpoints::addTo(impl_->router);
    ListEndpoints::addTo(impl_->router);
    WorkspaceEndpoints::addTo(impl_->router);
}

Sandbox::~Sandbox() { stop(); }

void Sandbox::start(const SandboxOptions& options) {
    std::lock_guard lock(impl_->mutex);
    if (impl_->state) throw std::logic_error("The sandbox is already started");
    std::filesystem::create_directories(options.dataDir);
    auto state = std::make_unique<SandboxState>(options.dataDir / "sandbox.sqlite");
    auto certificates = CertificateAuthority::ensure(options.dataDir / "tls");
    auto server = std::make_unique<SandboxServer>(*state, impl_->router, certificates);
    std::unique_ptr<AdminApi> admin;
    const int port = server->start(options.host, options.port);
    int adminPort = 0;
    if (options.adminApi) {
        try {
            const std::string token = options.adminToken.empty() ? AdminAccess::randomToken() : options.adminToken;
            admin = std::make_unique<AdminApi>(*state, *server, token, options.consoleFolder);
            adminPort = admin->start(options.adminHost, options.adminPort);
        } catch (...) {
            server->stop();
            throw;
        }
    }
    impl_->state = std::move(state);
    impl_->server = std::move(server);
    impl_->admin = std::move(admin);
    impl_->certificates = certificates;
    impl_->host = options.host;
    impl_->adminHost = options.adminHost;
    impl_->port = port;
    impl_->adminPort = adminPort;
}

void Sandbox::stop() {
    std::lock_guard lock(impl_->mutex);
    if (impl_->admin) impl_->admin->stop();
    if (impl_->server) impl_->server->stop();
    impl_->admin.reset();
    impl_->server.reset();
    impl_->state.reset();
    impl_->port = 0;
    impl_->adminPort = 0;
}

bool Sandbox::running() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->server != nullptr;
}

int Sandbox::port() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->port;
}

int Sandbox::adminPort() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->adminPort;
}

std::string Sandbox::adminToken() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->admin ? impl_->admin->token() : std::string();
}

std::string Sandbox::consoleUrl() const {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->admin) return {};
    return AdminAccess::consoleUrl(impl_->adminHost, impl_->adminPort, impl_->admin->token());
}

std::filesystem::path Sandbox::caFile() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->certificates.caFile;
}

std::string Sandbox::connectTo() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->host + ":" + std::to_string(impl_->port);
}

HttpClientOptions Sandbox::httpOptions() const {
    HttpClientOptions options;
    options.connectTo = connectTo();
    options.caFile = caFile().string();
    return options;
}

std::string Sandbox::baseUrl() {
    return std::string("https://") + QUORVELA_SERVICE_HOST +
           std::string(RestRouter::kBasePath.substr(0, RestRouter::kBasePath.size() - 1));
}

void Sandbox::createApplication(const std::string& appName, const std::string& publicId, const std::string& privateKey,
                                const std::optional<std::string>& defaultWorkspace) {
    state().putApplication(Application{appName, publicId, privateKey, defaultWorkspace});
}

std::vector<Application> Sandbox::applications() const { return state().applications(); }

std::vector<AnalyticsEvent> Sandbox::analyticsEvents() const { return state().analyticsEvents(); }

std::vector<RequestRecord> Sandbox::requests() const { return state().requests(); }

void Sandbox::clearRecords() { state().clearRecords(); }

ConnectionCounts Sandbox::connectionCounts() const {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->server) throw std::logic_error("The sandbox is not started");
    return impl_->server->connectionCounts();
}

void Sandbox::addOperation(const std::string& name, RestOperation operation) {
    impl_->router.add(name, std::move(operation));
}

SandboxState& Sandbox::state() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->requireState();
}

}  // namespace quorvela::sandbox
