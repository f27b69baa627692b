#include "SandboxServer.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

#include "AnalyticsQuery.h"
#include "ConnectionThreads.h"
#include "RequestDeadlines.h"
#include "RestRouter.h"
#include "SandboxState.h"
#include "ServiceHosts.h"

namespace quorvela::sandbox {

namespace {

constexpr std::size_t kMaxBody = 64 * 1024;

std::int64_t nowMillis() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

/// The Host header without its port, in lower case.
std::string hostName(const httplib::Request& request) {
    std::string host = request.get_header_value("Host");
    if (!host.empty() && host.front() == '[') {
        host = host.substr(0, host.find(']') + 1);
    } else if (auto colon = host.rfind(':'); colon != std::string::npos) {
        host.resize(colon);
    }
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) { return std::tolower(c); });
    return host;
}

void reply(httplib::Response& response, int status, const std::string& body, const std::string& type = "text/plain") {
    response.status = status;
    response.set_content(body, type.c_str());
}

/// Headers that promise more than `body`, then `body`, then the connection
/// closes: a provider that fails makes the server give up the connection.
void replyAndDrop(httplib::Response& response, int status, const std::string& body, const std::string& type) {
    constexpr std::size_t kMissingBytes = 1024;
    response.status = status;
    response.set_header("Connection", "close");
    response.set_content_provider(body.size() + kMissingBytes, type.c_str(),
                                  [body](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                      if (offset < body.size()) sink.write(body.data() + offset, body.size() - offset);
                                      return false;
                                  });
}

}  // namespace

SandboxServer::SandboxServer(SandboxState& state, RestRouter& router, const CertificateAuthority::Files& certificates)
    : state_(state),
      router_(router),
      server_(std::make_unique<httplib::SSLServer>(certificates.certFile.c_str(), certificates.keyFile.c_str())) {
    if (!server_->is_valid()) throw std::runtime_error("Cannot load the sandbox certificate");
    server_->set_payload_max_length(kMaxBody);  // the service takes no bodies
    // A connection holds its thread while it is open, kept alive or slow.
    server_->new_task_queue = [] { return new ConnectionThreads(kMaxConnections); };
    deadlines_ = std::make_unique<RequestDeadlines>(server_->ssl_context(), kRequestDeadline,
                                                    std::chrono::seconds(CPPHTTPLIB_KEEPALIVE_TIMEOUT_SECOND));
    server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        deadlines_->requestRead(request.ssl);
        try {
            handle(request, response);
        } catch (const std::exception& error) {
            reply(response, 500, std::string("Internal error: ") + error.what());
        }
        return httplib::Server::HandlerResponse::Handled;
    });
}

SandboxServer::~SandboxServer() { stop(); }

int SandboxServer::start(const std::string& host, int port) { return thread_.start(*server_, host, port); }

void SandboxServer::stop() { thread_.stop(); }

void SandboxServer::handle(const httplib::Request& request, httplib::Response& response) {
    RequestRecord record;
    record.time = nowMillis();
    record.path = request.target;
    const std::string_view target = request.target;
    const std::size_t queryStart = target.find('?');
    const std::string_view path = target.substr(0, queryStart);

    if (request.method != "GET") {
        reply(response, 405, "Only GET is served");
        response.set_header("Connection", "close");  // an unread body must not be taken for the next request
    } else if (hostName(request) == QUORVELA_IPECHO_HOST) {
        record.operation = "ipecho";
        if (target == "/") {
            reply(response, 200, request.remote_addr);
        } else {
            reply(response, 404, "Not found");
        }
    } else if (path == "/events/") {
        record.operation = "events";
        auto pairs = queryStart == std::string_view::npos ? std::nullopt
                                                          : AnalyticsQuery::parse(target.substr(queryStart + 1));
        if (pairs) {
            state_.recordEvent(AnalyticsEvent{record.time, std::move(*pairs)});
            reply(response, 200, "OK");
        } else {
            reply(response, 400, "Bad request: missing or malformed query");
        }
    } else if (path.substr(0, RestRouter::kBasePath.size()) == RestRouter::kBasePath) {
        RestRouter::Outcome outcome = router_.route(target, request.remote_addr, state_);
        record.operation = outcome.operation;
        record.signatureOk = outcome.signatureOk;
        if (outcome.reply.dropConnection) {
            replyAndDrop(response, outcome.reply.status, outcome.reply.body, outcome.reply.contentType);
        } else {
            reply(response, outcome.reply.status, outcome.reply.body, outcome.reply.contentType);
        }
    } else {
        reply(response, 404, "Not found");
    }
    record.status = response.status;
    state_.recordRequest(record);
}

}  // namespace quorvela::sandbox
