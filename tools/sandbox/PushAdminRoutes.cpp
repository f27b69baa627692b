#include "PushAdminRoutes.h"

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "AdminBodies.h"
#include "PushOutbox.h"
#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::json;

void sendJson(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

using Bodies = AdminBodies;

json toJson(const OutboxPush& push) {
    return json{{"id", push.id},
                {"time", push.time},
                {"token", push.pushToken},
                {"deviceId", push.deviceId},
                {"publicId", push.publicId},
                {"payload", json::parse(push.payload, nullptr, false)},
                {"delivered", push.delivered}};
}

json toJson(const std::vector<OutboxPush>& pushes) {
    json out = json::array();
    for (const auto& push : pushes) out.push_back(toJson(push));
    return out;
}

OutboxPush announce(PushOutbox& outbox, const std::string& token, const json& message, const json* payload) {
    if (!message.is_object()) throw std::invalid_argument("\"message\" must be an object");
    std::optional<std::string> user;
    if (auto given = message.find("user"); given != message.end() && !given->is_null()) {
        if (!given->is_string()) throw std::invalid_argument("\"user\" must be a text or null");
        user = given->get<std::string>();
    }
    std::vector<std::pair<std::string, std::string>> fields;
    if (auto given = message.find("fields"); given != message.end()) {
        if (!given->is_object()) throw std::invalid_argument("\"fields\" must be an object of texts");
        for (const auto& [key, value] : given->items()) {
            if (!value.is_string()) throw std::invalid_argument("\"fields\" must be an object of texts");
            fields.emplace_back(key, value.get<std::string>());
        }
    }
    return outbox.announce(token, Bodies::requiredText(message, "clientId"), user, fields,
                           payload ? payload->dump() : "");
}

}  // namespace

void PushAdminRoutes::add(httplib::Server& server, SandboxState& state) {
    server.Post("/pushes", [&state](const httplib::Request& request, httplib::Response& response) {
        const json body = Bodies::parseObject(request.body);
        const std::string token = Bodies::requiredText(body, "token");
        PushOutbox outbox(state);
        const auto payload = body.find("payload");
        const json* given = payload != body.end() ? &*payload : nullptr;
        if (given && !given->is_object()) throw std::invalid_argument("\"payload\" must be a JSON object");
        if (auto message = body.find("message"); message != body.end()) {
            sendJson(response, 201, toJson(announce(outbox, token, *message, given)));
            return;
        }
        if (!given) throw std::invalid_argument("Either \"payload\" or \"message\" is needed");
        sendJson(response, 201, toJson(outbox.send(token, given->dump())));
    });
    server.Post("/pushes/take", [&state](const httplib::Request& request, httplib::Response& response) {
        const json body = Bodies::parseObject(request.body);
        sendJson(response, 200, toJson(PushOutbox(state).takeUndelivered(Bodies::requiredText(body, "token"))));
    });
    server.Get("/pushes", [&state](const httplib::Request& request, httplib::Response& response) {
        PushOutbox outbox(state);
        if (request.has_param("token")) {
            sendJson(response, 200, toJson(outbox.undelivered(request.get_param_value("token"))));
        } else {
            sendJson(response, 200, toJson(outbox.all()));
        }
    });
    server.Delete("/pushes", [&state](const httplib::Request&, httplib::Response& response) {
        PushOutbox(state).clear();
        sendJson(response, 200, json::object());
    });
}

}  // namespace quorvela::sandbox
