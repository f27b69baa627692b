#include "RegistrationAdminRoutes.h"

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "RegistrationStore.h"
#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::json;

void sendJson(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

json toJson(const RegistrationBehaviour& behaviour) {
    return json{{"registerMode", behaviour.registerMode},
                {"validationCode", behaviour.validationCode},
                {"malformed", behaviour.malformed}};
}

// Unknown members and wrong types are refused (std::invalid_argument answers 400).
RegistrationBehaviour merged(RegistrationBehaviour behaviour, const json& body) {
    if (!body.is_object()) throw std::invalid_argument("The body must be a JSON object");
    for (const auto& [key, value] : body.items()) {
        if (key == "registerMode") {
            if (!value.is_string()) throw std::invalid_argument("\"registerMode\" must be a text");
            const auto mode = value.get<std::string>();
            if (mode != "accept" && mode != "reject" && mode != "validate") {
                throw std::invalid_argument("\"registerMode\" must be accept, reject or validate");
            }
            behaviour.registerMode = mode;
        } else if (key == "validationCode") {
            if (!value.is_string() || value.get<std::string>().empty()) {
                throw std::invalid_argument("\"validationCode\" must be a non-empty text");
            }
            behaviour.validationCode = value.get<std::string>();
        } else if (key == "malformed") {
            if (!value.is_array()) throw std::invalid_argument("\"malformed\" must be an array of operation names");
            behaviour.malformed.clear();
            for (const auto& name : value) {
                if (!name.is_string()) throw std::invalid_argument("\"malformed\" must be an array of operation names");
                behaviour.malformed.insert(name.get<std::string>());
            }
        } else {
            throw std::invalid_argument("Unknown member \"" + key + "\"");
        }
    }
    return behaviour;
}

}  // namespace

void RegistrationAdminRoutes::add(httplib::Server& server, SandboxState& state) {
    server.Get("/users", [&state](const httplib::Request&, httplib::Response& response) {
        json out = json::array();
        for (const AppUser& user : RegistrationStore(state.database()).users()) {
            out.push_back({{"deviceId", user.deviceId},
                           {"publicId", user.publicId},
                           {"userId", user.userId},
                           {"validated", user.validated}});
        }
        sendJson(response, 200, out);
    });
    server.Get("/devices", [&state](const httplib::Request&, httplib::Response& response) {
        json out = json::array();
        for (const DeviceToken& device : RegistrationStore(state.database()).devices()) {
            out.push_back(
                {{"deviceId", device.deviceId}, {"publicId", device.publicId}, {"pushToken", device.pushToken}});
        }
        sendJson(response, 200, out);
    });
    server.Get("/registration", [&state](const httplib::Request&, httplib::Response& response) {
        sendJson(response, 200, toJson(RegistrationStore(state.database()).behaviour()));
    });
    server.Put("/registration", [&state](const httplib::Request& request, httplib::Response& response) {
        RegistrationStore store(state.database());
        RegistrationBehaviour behaviour = merged(store.behaviour(), json::parse(request.body));
        store.setBehaviour(behaviour);
        sendJson(response, 200, toJson(behaviour));
    });
}

}  // namespace quorvela::sandbox
