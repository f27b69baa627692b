#include "c/JsonExport.h"

#include <nlohmann/json.hpp>

#include "platform/ValueConversions.h"
#include "quorvela/Message.h"
#include "quorvela/Workspace.h"

namespace quorvela::c {

namespace {

// Stored texts may hold bytes that are not UTF-8 (they came from the
// service); the host still gets valid JSON, with U+FFFD in their place.
std::string dump(const nlohmann::json& json) {
    return json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

nlohmann::json messageJson(const std::shared_ptr<Message>& message) {
    return message ? toJson(Value(message->serialize())) : nlohmann::json(nullptr);
}

}  // namespace

std::string JsonExport::message(const std::shared_ptr<Message>& message) { return dump(messageJson(message)); }

std::string JsonExport::messages(const std::vector<std::shared_ptr<Message>>& messages) {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& message : messages) out.push_back(messageJson(message));
    return dump(out);
}

std::string JsonExport::workspaces(const std::vector<std::shared_ptr<Workspace>>& workspaces) {
    nlohmann::json out = nlohmann::json::array();
    for (const auto& workspace : workspaces) {
        if (!workspace) continue;
        nlohmann::json entry = toJson(Value(workspace->serialize()));
        for (const char* list : {"messages", "geofences", "beacons"}) entry.erase(list);
        out.push_back(std::move(entry));
    }
    return dump(out);
}

}  // namespace quorvela::c
