#include "SandboxSeed.h"

#include <stdexcept>

#include "AdminBodies.h"
#include "MessageQueue.h"
#include "RegionLists.h"
#include "RegistrationStore.h"
#include "SandboxState.h"
#include "WorkspaceSubscriptions.h"
#include "WorkspaceTable.h"

namespace quorvela::sandbox {

namespace {

using json = nlohmann::ordered_json;
using Bodies = AdminBodies;

const char* const kMembers[] = {"applications", "workspaces", "users",  "subscriptions",
                                "messages",     "geofences",  "beacons"};

// Runs `each` over the array member `name`, naming the entry in any error.
template <class Each>
void forEachEntry(const json& seed, const char* name, Each each) {
    auto member = seed.find(name);
    if (member == seed.end()) return;
    if (!member->is_array()) throw std::invalid_argument(std::string("\"") + name + "\" must be an array");
    for (std::size_t i = 0; i < member->size(); ++i) {
        try {
            each(nlohmann::json::parse((*member)[i].dump()));
        } catch (const std::exception& error) {
            throw std::invalid_argument(std::string(name) + "[" + std::to_string(i) + "]: " + error.what());
        }
    }
}

void applyLists(SandboxState& state, const json& seed, const char* name, RegionLists::Kind kind) {
    auto member = seed.find(name);
    if (member == seed.end()) return;
    if (!member->is_object())
        throw std::invalid_argument(std::string("\"") + name + "\" must be an object of lists by client id");
    for (const auto& [clientId, list] : member->items()) {
        try {
            WorkspaceTable(state).require(clientId);
            RegionLists(state).set(clientId, kind, Bodies::regionList(list));
        } catch (const std::exception& error) {
            throw std::invalid_argument(std::string(name) + "." + clientId + ": " + error.what());
        }
    }
}

}  // namespace

void SandboxSeed::apply(SandboxState& state, const std::string& jsonText) {
    const json seed = json::parse(jsonText);
    if (!seed.is_object()) throw std::invalid_argument("The seed must be a JSON object");
    for (const auto& [name, value] : seed.items()) {
        bool known = false;
        for (const char* member : kMembers) known = known || name == member;
        if (!known) throw std::invalid_argument("Unknown member \"" + name + "\"");
    }
    forEachEntry(seed, "applications",
                 [&](const nlohmann::json& entry) { state.putApplication(Bodies::application(entry)); });
    forEachEntry(seed, "workspaces",
                 [&](const nlohmann::json& entry) { WorkspaceTable(state).put(Bodies::workspace(entry)); });
    forEachEntry(seed, "users", [&](const nlohmann::json& entry) {
        AppUser user{Bodies::requiredText(entry, "deviceId"), Bodies::requiredText(entry, "publicId"),
                     Bodies::requiredText(entry, "userId"), false};
        if (auto validated = entry.find("validated"); validated != entry.end()) {
            if (!validated->is_boolean()) throw std::invalid_argument("\"validated\" must be true or false");
            user.validated = validated->get<bool>();
        }
        RegistrationStore(state.database()).putUser(user);
    });
    forEachEntry(seed, "subscriptions", [&](const nlohmann::json& entry) {
        auto subscription = Bodies::subscription(entry);
        WorkspaceTable(state).require(subscription.clientId);
        WorkspaceSubscriptions(state.database()).add(subscription);
    });
    forEachEntry(seed, "messages", [&](const nlohmann::json& entry) {
        if (!entry.is_object()) throw std::invalid_argument("The body must be a JSON object");
        const std::string clientId = Bodies::requiredText(entry, "clientId");
        WorkspaceTable(state).require(clientId);
        MessageQueue(state).queue(clientId, Bodies::requiredText(entry, "user"), Bodies::messageFields(entry));
    });
    applyLists(state, seed, "geofences", RegionLists::Kind::Geofences);
    applyLists(state, seed, "beacons", RegionLists::Kind::Beacons);
}

}  // namespace quorvela::sandbox
