#include "LocationAdminRoutes.h"

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "LocationStore.h"
#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::json;

void sendJson(httplib::Response& response, int status, const json& body) {
    response.status = status;
    response.set_content(body.dump(-1, ' ', false, json::error_handler_t::replace), "application/json");
}

json optionalJson(const std::optional<std::string>& text) { return text ? json(*text) : json(nullptr); }

json toJson(const LocationReport& r) {
    return json{{"time", r.time},
                {"operation", r.operation},
                {"deviceId", r.deviceId},
                {"clientId", r.clientId},
                {"timeStamp", r.timeStamp},
                {"latitude", r.latitude},
                {"longitude", r.longitude},
                {"requestId", optionalJson(r.requestId)},
                {"region", optionalJson(r.region)},
                {"status", optionalJson(r.status)},
                {"regionType", optionalJson(r.regionType)},
                {"appName", optionalJson(r.appName)},
                {"platform", optionalJson(r.platform)}};
}

}  // namespace

void LocationAdminRoutes::add(httplib::Server& server, SandboxState& state) {
    server.Get("/locations", [&state](const httplib::Request&, httplib::Response& response) {
        json out = json::array();
        for (const LocationReport& report : LocationStore(state.database()).reports()) out.push_back(toJson(report));
        sendJson(response, 200, out);
    });
    server.Delete("/locations", [&state](const httplib::Request&, httplib::Response& response) {
        LocationStore(state.database()).clear();
        sendJson(response, 200, json::object());
    });
    server.Get("/locations/behaviour", [&state](const httplib::Request&, httplib::Response& response) {
        sendJson(response, 200, json{{"mode", LocationStore(state.database()).mode()}});
    });
    server.Put("/locations/behaviour", [&state](const httplib::Request& request, httplib::Response& response) {
        const json body = json::parse(request.body);
        if (!body.is_object()) throw std::invalid_argument("The body must be a JSON object");
        auto mode = body.find("mode");
        if (mode == body.end() || !mode->is_string() ||
            !LocationStore(state.database()).setMode(mode->get<std::string>()))
            throw std::invalid_argument("\"mode\" must be accept, reject or malformed");
        sendJson(response, 200, json{{"mode", mode->get<std::string>()}});
    });
}

}  // namespace quorvela::sandbox
