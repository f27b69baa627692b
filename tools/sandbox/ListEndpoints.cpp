#include "ListEndpoints.h"

#include <httplib.h>

#include <nlohmann/json.hpp>
#include <stdexcept>

#include "AdminBodies.h"
#include "EndpointFaults.h"
#include "RegionLists.h"
#include "RestRouter.h"
#include "SandboxState.h"
#include "WorkspaceTable.h"
#include "XmlText.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::ordered_json;

std::string valueXml(const std::string& name, const ordered_json& value);

std::string membersXml(const ordered_json& object) {
    std::string out;
    for (const auto& [key, value] : object.items()) out += valueXml(key, value);
    return out;
}

std::string valueXml(const std::string& name, const ordered_json& value) {
    if (value.is_null()) return "<" + name + "/>";
    if (value.is_string()) return XmlText::element(name, value.get<std::string>());
    if (value.is_object()) return "<" + name + ">" + membersXml(value) + "</" + name + ">";
    if (value.is_array()) {
        // A "rules" block holds "rule" elements; other arrays repeat the name.
        const std::string item = name == "rules" ? "rule" : name;
        std::string inner;
        for (const auto& element : value) inner += valueXml(item, element);
        return name == "rules" ? "<rules>" + inner + "</rules>" : inner;
    }
    return XmlText::element(name, value.dump());  // numbers and booleans
}

RestOperation listOperation(RegionLists::Kind kind, const char* root, const char* element) {
    RestOperation operation;
    operation.key = [](const RestCall& call, SandboxState& state) -> std::optional<std::string> {
        if (call.segments.size() < 3) return std::nullopt;
        return WorkspaceTable(state).keyOf(call.segments[call.segments.size() - 2]);
    };
    operation.handle = [kind, root, element](const RestCall& call, SandboxState& state) {
        const std::string& client = call.segments[call.segments.size() - 2];
        return RestReply{200, ListEndpoints::listReply(RegionLists(state).get(client, kind), root, element),
                         "application/xml"};
    };
    return operation;
}

void adminRoutes(httplib::Server& server, SandboxState& state, const std::string& suffix, RegionLists::Kind kind) {
    const std::string pattern = R"(/workspaces/([^/]+)/)" + suffix;
    server.Put(pattern, [&state, kind](const httplib::Request& request, httplib::Response& reply) {
        const std::string client = request.matches[1];
        WorkspaceTable(state).require(client);
        const std::string text = AdminBodies::regionList(ordered_json::parse(request.body));
        RegionLists(state).set(client, kind, text);
        reply.status = 200;
        reply.set_content(text, "application/json");
    });
    server.Get(pattern, [&state, kind](const httplib::Request& request, httplib::Response& reply) {
        reply.status = 200;
        reply.set_content(RegionLists(state).get(request.matches[1], kind), "application/json");
    });
}

}  // namespace

std::string ListEndpoints::listReply(const std::string& json, const std::string& rootElement,
                                     const std::string& listElement) {
    std::string body = "<" + rootElement + ">";
    for (const auto& record : ordered_json::parse(json)) body += valueXml(listElement, record);
    return body + "</" + rootElement + ">";
}

void ListEndpoints::addTo(RestRouter& router) {
    router.add("getGeoFences", EndpointFaults::withFaults("getGeoFences", listOperation(RegionLists::Kind::Geofences,
                                                                                        "geoFences", "geoFence")));
    router.add("getBeacons", EndpointFaults::withFaults(
                                 "getBeacons", listOperation(RegionLists::Kind::Beacons, "beacons", "beacon")));
}

void ListEndpoints::addAdminRoutes(httplib::Server& server, SandboxState& state) {
    adminRoutes(server, state, "geofences", RegionLists::Kind::Geofences);
    adminRoutes(server, state, "beacons", RegionLists::Kind::Beacons);
}

}  // namespace quorvela::sandbox
