#pragma once
// Reading the admin API's JSON bodies into the sandbox's records, with the
// error texts the API answers (std::invalid_argument, shown as a 400). Shared
// by the routes and by seeding from a file, so both accept the same things.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "SandboxRecords.h"
#include "WorkspaceSubscriptions.h"
#include "WorkspaceTable.h"

namespace quorvela::sandbox {

class AdminBodies {
public:
    using json = nlohmann::json;
    using Fields = std::vector<std::pair<std::string, std::string>>;

    /// The text as a JSON object; "The body must be a JSON object" otherwise.
    static json parseObject(const std::string& text);
    static std::string requiredText(const json& body, const char* key);
    /// Absent or null: nothing.
    static std::optional<std::string> optionalText(const json& body, const char* key);

    /// {"appName", "publicId", "privateKey", "defaultWorkspace"?}
    static Application application(const json& body);
    /// {"clientId", "name", "publicKey", "callbackURL"?}
    static SandboxWorkspace workspace(const json& body);
    /// The optional "fields" object of a message, every value a text.
    static Fields messageFields(const json& body);
    /// {"appName", "userId", "clientId"}
    static WorkspaceSubscription subscription(const json& body);
    /// A geofence or beacon list: an array of objects, as stored.
    static std::string regionList(const nlohmann::ordered_json& body);
};

}  // namespace quorvela::sandbox
