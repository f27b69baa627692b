#include "WorkspaceAdminRoutes.h"

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "SandboxState.h"
#include "WorkspaceSubscriptions.h"
#include "WorkspaceTable.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::json;

void sendJson(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

json toJson(const WorkspaceBehaviour& behaviour) {
    return json{{"refuseJoin", behaviour.refuseJoin}, {"refuseLeave", behaviour.refuseLeave}};
}

std::set<std::string> names(const json& value, const std::string& key) {
    const std::string error = "\"" + key + "\" must be an array of client ids";
    if (!value.is_array()) throw std::invalid_argument(error);
    std::set<std::string> out;
    for (const auto& name : value) {
        if (!name.is_string()) throw std::invalid_argument(error);
        out.insert(name.get<std::string>());
    }
    return out;
}

// Unknown members and wrong types are refused (std::invalid_argument answers 400).
WorkspaceBehaviour merged(WorkspaceBehaviour behaviour, const json& body) {
    if (!body.is_object()) throw std::invalid_argument("The body must be a JSON object");
    for (const auto& [key, value] : body.items()) {
        if (key == "refuseJoin") behaviour.refuseJoin = names(value, key);
        else if (key == "refuseLeave") behaviour.refuseLeave = names(value, key);
        else throw std::invalid_argument("Unknown member \"" + key + "\"");
    }
    return behaviour;
}

}  // namespace

void WorkspaceAdminRoutes::add(httplib::Server& server, SandboxState& state) {
    server.Get("/subscriptions", [&state](const httplib::Request&, httplib::Response& response) {
        json out = json::array();
        for (const auto& s : WorkspaceSubscriptions(state.database()).all())
            out.push_back({{"appName", s.appName}, {"userId", s.userId}, {"clientId", s.clientId}});
        sendJson(response, 200, out);
    });
    server.Put(R"(/applications/([^/]+)/defaultWorkspace)",
               [&state](const httplib::Request& request, httplib::Response& response) {
                   const std::string publicId = request.matches[1];
                   auto application = state.application(publicId);
                   if (!application) throw std::invalid_argument("Unknown application: " + publicId);
                   const json body = json::parse(request.body);
                   if (!body.is_object() || !body.contains("clientId"))
                       throw std::invalid_argument("The body must be {\"clientId\": text or null}");
                   const json& clientId = body["clientId"];
                   if (clientId.is_null()) {
                       application->defaultWorkspace.reset();
                   } else {
                       if (!clientId.is_string()) throw std::invalid_argument("\"clientId\" must be a text or null");
                       WorkspaceTable(state).require(clientId.get<std::string>());
                       application->defaultWorkspace = clientId.get<std::string>();
                   }
                   state.putApplication(*application);
                   sendJson(response, 200,
                            {{"publicId", publicId},
                             {"defaultWorkspace",
                              application->defaultWorkspace ? json(*application->defaultWorkspace) : json(nullptr)}});
               });
    server.Get("/workspace-behaviour", [&state](const httplib::Request&, httplib::Response& response) {
        sendJson(response, 200, toJson(WorkspaceSubscriptions(state.database()).behaviour()));
    });
    server.Put("/workspace-behaviour", [&state](const httplib::Request& request, httplib::Response& response) {
        WorkspaceSubscriptions subscriptions(state.database());
        const WorkspaceBehaviour behaviour = merged(subscriptions.behaviour(), json::parse(request.body));
        subscriptions.setBehaviour(behaviour);
        sendJson(response, 200, toJson(behaviour));
    });
}

}  // namespace quorvela::sandbox
