#include "MessageEndpoints.h"

#include <httplib.h>
#include <openssl/evp.h>

#include <chrono>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "AdminBodies.h"
#include "EndpointFaults.h"
#include "RestRouter.h"
#include "SandboxState.h"
#include "WorkspaceTable.h"
#include "XmlText.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::json;

RestReply xml(std::string body) { return RestReply{200, std::move(body), "application/xml"}; }
RestReply badRequest(const std::string& why) { return RestReply{400, "Bad request: " + why, "text/plain"}; }

void sendJson(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

using Bodies = AdminBodies;

std::optional<std::string> decodeBase64(const std::string& text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::string out(3 * (text.size() / 4) + 1, '\0');
    const int length = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                       reinterpret_cast<const unsigned char*>(text.data()),
                                       static_cast<int>(text.size()));
    if (length < 0) return std::nullopt;
    std::size_t size = static_cast<std::size_t>(length);
    if (!text.empty() && text.back() == '=') --size;
    if (text.size() > 1 && text[text.size() - 2] == '=') --size;
    out.resize(size);
    return out;
}

std::string join(const std::vector<std::string>& parts, std::size_t count) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) out += (i ? "/" : "") + parts[i];
    return out;
}

std::int64_t nowMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// getPendingMessages: device / app / IOS / client / time stamp; the client is
// an application's public id or a workspace's client id.
std::optional<std::string> pendingKey(const RestCall& call, SandboxState& state) {
    if (call.segments.size() < 5) return std::nullopt;
    const std::string& client = call.segments[call.segments.size() - 2];
    if (auto application = state.application(client)) return application->privateKey;
    return WorkspaceTable(state).keyOf(client);
}

RestReply pending(const RestCall& call, SandboxState& state) {
    if (call.segments.size() < 5) return badRequest("getPendingMessages takes five values");
    const std::string& client = call.segments[call.segments.size() - 2];
    const std::optional<std::string> only = state.application(client) ? std::nullopt : std::optional(client);
    return xml(MessageEndpoints::pendingReply(MessageQueue(state).takePending(call.segments[0], only)));
}

// getMessage: message id / client / time stamp.
RestReply single(const RestCall& call, SandboxState& state) {
    if (call.segments.size() != 3) return badRequest("getMessage takes three values");
    return xml(MessageEndpoints::messageReply(MessageQueue(state).find(call.segments[1], call.segments[0])));
}

// sendResponse: Base64 text (which may hold "/") / sender / app / IOS /
// client / time stamp, so the values are read from the end.
RestReply response(const RestCall& call, SandboxState& state) {
    const auto& s = call.segments;
    if (s.size() < 6) return badRequest("sendResponse takes six values");
    const std::size_t n = s.size();
    ReceivedResponse received;
    received.time = nowMillis();
    received.clientId = s[n - 2];
    received.appName = s[n - 4];
    received.sender = s[n - 5];
    received.encodedText = join(s, n - 5);
    received.text = decodeBase64(received.encodedText);
    MessageQueue(state).recordResponse(received);
    return xml(
        "<transactionResult><successful>true</successful><message>Response received</message>"
        "</transactionResult>");
}

json toJson(const QueuedMessage& message) {
    json fields = json::object();
    for (const auto& [key, value] : message.fields) fields[key] = value;
    return json{{"clientId", message.clientId}, {"user", message.user}, {"fields", fields}};
}

}  // namespace

std::string MessageEndpoints::pendingReply(const std::vector<QueuedMessage>& messages) {
    std::string body = "<messages>";
    for (const auto& message : messages) {
        body += "<message>";
        for (const auto& [key, value] : message.fields) body += XmlText::element(key, value);
        body += "</message>";
    }
    return body + "</messages>";
}

std::string MessageEndpoints::messageReply(const std::optional<QueuedMessage>& message) {
    if (!message) return "<messages/>";
    std::string body = "<message>";
    for (const auto& [key, value] : message->fields) body += XmlText::element(key, value);
    return body + "</message>";
}

void MessageEndpoints::addTo(RestRouter& router) {
    auto workspaceKeyAt = [](std::ptrdiff_t fromEnd, std::size_t minimum) {
        return [fromEnd, minimum](const RestCall& call, SandboxState& state) -> std::optional<std::string> {
            if (call.segments.size() < minimum) return std::nullopt;
            const auto index = fromEnd < 0 ? call.segments.size() + fromEnd : static_cast<std::size_t>(fromEnd);
            return WorkspaceTable(state).keyOf(call.segments[index]);
        };
    };
    router.add("getPendingMessages",
               EndpointFaults::withFaults("getPendingMessages", RestOperation{pendingKey, pending}));
    router.add("getMessage", EndpointFaults::withFaults("getMessage", RestOperation{workspaceKeyAt(1, 3), single}));
    router.add("sendResponse",
               EndpointFaults::withFaults("sendResponse", RestOperation{workspaceKeyAt(-2, 6), response}));
}

void MessageEndpoints::addAdminRoutes(httplib::Server& server, SandboxState& state) {
    server.Post("/workspaces", [&state](const httplib::Request& request, httplib::Response& reply) {
        const json body = Bodies::parseObject(request.body);
        WorkspaceTable(state).put(Bodies::workspace(body));
        sendJson(reply, 201, body);
    });
    server.Get("/workspaces", [&state](const httplib::Request&, httplib::Response& reply) {
        json out = json::array();
        for (const auto& w : WorkspaceTable(state).all()) {
            out.push_back({{"clientId", w.clientId},
                           {"name", w.name},
                           {"publicKey", w.publicKey},
                           {"callbackURL", w.callbackUrl ? json(*w.callbackUrl) : json(nullptr)}});
        }
        sendJson(reply, 200, out);
    });
    server.Post("/messages", [&state](const httplib::Request& request, httplib::Response& reply) {
        const json body = Bodies::parseObject(request.body);
        const std::string clientId = Bodies::requiredText(body, "clientId");
        WorkspaceTable(state).require(clientId);
        const auto fields = Bodies::messageFields(body);
        sendJson(reply, 201, toJson(MessageQueue(state).queue(clientId, Bodies::requiredText(body, "user"), fields)));
    });
    server.Get("/messages", [&state](const httplib::Request&, httplib::Response& reply) {
        json out = json::array();
        for (const auto& message : MessageQueue(state).all()) out.push_back(toJson(message));
        sendJson(reply, 200, out);
    });
    server.Get("/responses", [&state](const httplib::Request&, httplib::Response& reply) {
        json out = json::array();
        for (const auto& r : MessageQueue(state).responses()) {
            out.push_back({{"time", r.time},
                           {"clientId", r.clientId},
                           {"sender", r.sender},
                           {"appName", r.appName},
                           {"encodedText", r.encodedText},
                           {"text", r.text ? json(*r.text) : json(nullptr)}});
        }
        sendJson(reply, 200, out);
    });
    server.Put("/faults", [&state](const httplib::Request& request, httplib::Response& reply) {
        const json body = Bodies::parseObject(request.body);
        const std::string operation = Bodies::requiredText(body, "operation");
        std::optional<std::string> fault;
        if (auto given = body.find("fault"); given != body.end() && !given->is_null()) {
            if (!given->is_string() || !EndpointFaults::isKnown(given->get<std::string>()))
                throw std::invalid_argument("\"fault\" must be \"malformed\", \"html\", \"drop\" or null");
            fault = given->get<std::string>();
        }
        EndpointFaults(state).set(operation, fault);
        sendJson(reply, 200, body);
    });
    server.Get("/faults", [&state](const httplib::Request&, httplib::Response& reply) {
        sendJson(reply, 200, json(EndpointFaults(state).all()));
    });
}

}  // namespace quorvela::sandbox
