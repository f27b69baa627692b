#include "AdminBodies.h"

#include <stdexcept>

namespace quorvela::sandbox {

AdminBodies::json AdminBodies::parseObject(const std::string& text) {
    json body = json::parse(text);
    if (!body.is_object()) throw std::invalid_argument("The body must be a JSON object");
    return body;
}

std::string AdminBodies::requiredText(const json& body, const char* key) {
    auto found = body.find(key);
    if (found == body.end() || !found->is_string() || found->get<std::string>().empty())
        throw std::invalid_argument(std::string("\"") + key + "\" must be a non-empty text");
    return found->get<std::string>();
}

std::optional<std::string> AdminBodies::optionalText(const json& body, const char* key) {
    auto found = body.find(key);
    if (found == body.end() || found->is_null()) return std::nullopt;
    if (!found->is_string()) throw std::invalid_argument(std::string("\"") + key + "\" must be a text or null");
    return found->get<std::string>();
}

Application AdminBodies::application(const json& body) {
    if (!body.is_object()) throw std::invalid_argument("The body must be a JSON object");
    return Application{requiredText(body, "appName"), requiredText(body, "publicId"), requiredText(body, "privateKey"),
                       optionalText(body, "defaultWorkspace")};
}

SandboxWorkspace AdminBodies::workspace(const json& body) {
    if (!body.is_object()) throw std::invalid_argument("The body must be a JSON object");
    return SandboxWorkspace{requiredText(body, "clientId"), requiredText(body, "name"), requiredText(body, "publicKey"),
                            optionalText(body, "callbackURL")};
}

AdminBodies::Fields AdminBodies::messageFields(const json& body) {
    Fields fields;
    if (auto given = body.find("fields"); given != body.end()) {
        if (!given->is_object()) throw std::invalid_argument("\"fields\" must be an object of texts");
        for (const auto& [key, value] : given->items()) {
            if (!value.is_string()) throw std::invalid_argument("\"fields\" must be an object of texts");
            fields.emplace_back(key, value.get<std::string>());
        }
    }
    return fields;
}

WorkspaceSubscription AdminBodies::subscription(const json& body) {
    if (!body.is_object()) throw std::invalid_argument("The body must be a JSON object");
    return WorkspaceSubscription{requiredText(body, "appName"), requiredText(body, "userId"),
                                 requiredText(body, "clientId")};
}

std::string AdminBodies::regionList(const nlohmann::ordered_json& body) {
    if (!body.is_array()) throw std::invalid_argument("The body must be a JSON array of objects");
    for (const auto& element : body)
        if (!element.is_object()) throw std::invalid_argument("The body must be a JSON array of objects");
    return body.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace quorvela::sandbox
