#include "SandboxServer.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <stdexcept>

#include "AnalyticsQuery.h"
#include "ConnectionThreads.h"
#include "RequestDeadlines.h"
#include "ResponseCork.h"
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

/// The connection's socket; -1 for a request refused before the server
/// attached its TLS object (an unreadable request line, say).
int socketOf(const httplib::Request& request) { return request.ssl != nullptr ? SSL_get_fd(request.ssl) : -1; }

/// Sends the body as it is. Given a whole body, the HTTP library compresses
/// every text reply with brotli at its slowest setting, which costs more than
/// the request itself; a body it reads from a provider of known length it
/// leaves alone (and an empty one it never compresses).
void reply(httplib::Response& response, int status, const std::string& body, const std::string& type = "text/plain") {
    response.status = status;
    if (body.empty()) {
        response.set_content(body, type.c_str());
        return;
    }
    response.set_content_provider(body.size(), type.c_str(),
                                  [body](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                      return sink.write(body.data() + offset, length);
                                  });
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
    // Linux hands the listening socket's TCP_NODELAY to every accepted one, so
    // no reply waits for the client's delayed ACK of the one before.
    server_->set_tcp_nodelay(true);
    server_->set_keep_alive_max_count(kMaxRequestsPerConnection);
    // A connection holds its thread while it is open, kept alive or slow.
    server_->new_task_queue = [this] { return new ConnectionThreads(kMaxConnections, accepted_); };
    deadlines_ = std::make_unique<RequestDeadlines>(server_->ssl_context(), kRequestDeadline,
                                                    std::chrono::seconds(CPPHTTPLIB_KEEPALIVE_TIMEOUT_SECOND));
    server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        deadlines_->requestRead(request.ssl);
        ResponseCork::hold(socketOf(request));
        try {
            handle(request, response);
        } catch (const std::exception& error) {
            reply(response, 500, std::string("Internal error: ") + error.what());
        }
        return httplib::Server::HandlerResponse::Handled;
    });
    // The server calls its logger once the response is written.
    server_->set_logger(
        [](const httplib::Request& request, const httplib::Response&) { ResponseCork::release(socketOf(request)); });
}

SandboxServer::~SandboxServer() { stop(); }

int SandboxServer::start(const std::string& host, int port) { return thread_.start(*server_, host, port); }

void SandboxServer::stop() { thread_.stop(); }

ConnectionCounts SandboxServer::connectionCounts() const {
    ConnectionCounts counts;
    counts.accepted = accepted_.load(std::memory_order_relaxed);
    // OpenSSL counts the server's completed handshakes per context.
    counts.tlsHandshakes = static_cast<std::uint64_t>(SSL_CTX_sess_accept_good(server_->ssl_context()));
    return counts;
}

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
