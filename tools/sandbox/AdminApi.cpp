#include "AdminApi.h"

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "AdminAccess.h"
#include "AdminBodies.h"
#include "ConsoleAssets.h"
#include "ConsoleRoutes.h"
#include "ListEndpoints.h"
#include "LocationAdminRoutes.h"
#include "MessageEndpoints.h"
#include "PushAdminRoutes.h"
#include "RegistrationAdminRoutes.h"
#include "SandboxServer.h"
#include "SandboxState.h"
#include "WorkspaceAdminRoutes.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::json;

constexpr std::size_t kMaxBody = 4 * 1024 * 1024;

void sendJson(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

void sendError(httplib::Response& response, int status, const std::string& text) {
    sendJson(response, status, json{{"error", text}});
}

json optionalJson(const std::optional<std::string>& text) { return text ? json(*text) : json(nullptr); }

json toJson(const Application& application) {
    return json{{"appName", application.appName},
                {"publicId", application.publicId},
                {"privateKey", application.privateKey},
                {"defaultWorkspace", optionalJson(application.defaultWorkspace)}};
}

}  // namespace

AdminApi::AdminApi(SandboxState& state, const SandboxServer& serviceServer, std::string token,
                   std::optional<std::filesystem::path> consoleFolder)
    : state_(state),
      serviceServer_(serviceServer),
      token_(std::move(token)),
      assets_(std::make_unique<ConsoleAssets>(std::move(consoleFolder))),
      server_(std::make_unique<httplib::Server>()) {
    // Refused before anything is bound; the port's rules are made once it is.
    AdminAccess::requireValidToken(token_);
    routes();
}

AdminApi::~AdminApi() { stop(); }

int AdminApi::start(const std::string& host, int port) {
    return thread_.start(*server_, host, port,
                         [&](int bound) { access_ = std::make_unique<AdminAccess>(token_, host, bound); });
}

void AdminApi::stop() {
    // Open change streams hold server threads until they see this.
    stopping_ = true;
    state_.database().changes().wakeAll();
    thread_.stop();
}

void AdminApi::routes() {
    server_->set_payload_max_length(kMaxBody);
    // Linux hands the listening socket's TCP_NODELAY to every accepted one.
    server_->set_tcp_nodelay(true);
    server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        const auto refusal = ConsoleRoutes::servesPage(request.path) ? access_->checkOrigin(request)
                                                                     : access_->checkApi(request);
        if (!refusal) return httplib::Server::HandlerResponse::Unhandled;
        if (refusal->status == 401) response.set_header("WWW-Authenticate", "Bearer");
        sendError(response, refusal->status, refusal->error);
        return httplib::Server::HandlerResponse::Handled;
    });
    server_->set_exception_handler([](const httplib::Request&, httplib::Response& response, std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const json::exception& e) {
            sendError(response, 400, std::string("Bad JSON: ") + e.what());
        } catch (const std::invalid_argument& e) {
            sendError(response, 400, e.what());
        } catch (const std::exception& e) {
            sendError(response, 500, e.what());
        } catch (...) {
            sendError(response, 500, "unknown error");
        }
    });
    server_->Get("/applications", [this](const httplib::Request&, httplib::Response& response) {
        json out = json::array();
        for (const Application& application : state_.applications()) out.push_back(toJson(application));
        sendJson(response, 200, out);
    });
    server_->Post("/applications", [this](const httplib::Request& request, httplib::Response& response) {
        const Application application = AdminBodies::application(AdminBodies::parseObject(request.body));
        state_.putApplication(application);
        sendJson(response, 201, toJson(application));
    });
    server_->Get("/events", [this](const httplib::Request&, httplib::Response& response) {
        json out = json::array();
        for (const AnalyticsEvent& event : state_.analyticsEvents()) {
            json query = json::array();
            for (const auto& [key, value] : event.query) query.push_back({key, value});
            out.push_back({{"time", event.time}, {"query", query}});
        }
        sendJson(response, 200, out);
    });
    server_->Get("/requests", [this](const httplib::Request&, httplib::Response& response) {
        json out = json::array();
        for (const RequestRecord& record : state_.requests()) {
            out.push_back({{"time", record.time},
                           {"path", record.path},
                           {"operation", record.operation},
                           {"signatureOk", record.signatureOk ? json(*record.signatureOk) : json(nullptr)},
                           {"status", record.status}});
        }
        sendJson(response, 200, out);
    });
    server_->Get("/connections", [this](const httplib::Request&, httplib::Response& response) {
        const ConnectionCounts counts = serviceServer_.connectionCounts();
        sendJson(response, 200, json{{"accepted", counts.accepted}, {"tlsHandshakes", counts.tlsHandshakes}});
    });
    server_->Delete("/records", [this](const httplib::Request&, httplib::Response& response) {
        state_.clearRecords();
        sendJson(response, 200, json::object());
    });
    RegistrationAdminRoutes::add(*server_, state_);
    LocationAdminRoutes::add(*server_, state_);
    MessageEndpoints::addAdminRoutes(*server_, state_);
    PushAdminRoutes::add(*server_, state_);
    ListEndpoints::addAdminRoutes(*server_, state_);
    WorkspaceAdminRoutes::add(*server_, state_);
    ConsoleRoutes::add(*server_, *assets_, state_.database().changes(), stopping_);
}

}  // namespace quorvela::sandbox
