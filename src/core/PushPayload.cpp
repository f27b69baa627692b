#include "core/PushPayload.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "platform/ValueConversions.h"

namespace quorvela {

namespace {

// A present value as "%@" renders it; a JSON null renders as a missing key.
std::optional<std::string> described(const Value::Dictionary& payload, const char* key) {
    auto found = payload.find(key);
    if (found == payload.end() || found->second.isNull()) return std::nullopt;
    return found->second.describe();
}

}  // namespace

PushPayload PushPayload::read(const Value::Dictionary& payload) {
    PushPayload push;
    push.msgId = described(payload, "msgId").value_or("(null)");
    push.type = described(payload, "type").value_or("(null)");
    push.subject = described(payload, "subject");
    push.clientId = described(payload, "clientId");
    return push;
}

std::optional<Value::Dictionary> PushPayload::parseJson(std::string_view text) {
    // The JSON reader takes a NUL for the end of the text; what follows it
    // would be ignored silently.
    if (text.find('\0') != std::string_view::npos) return std::nullopt;
    // nlohmann parses without recursion, but turning the tree into a Value
    // recurses once per level, so the depth is measured first.
    int deepest = 0;
    auto json = nlohmann::json::parse(
        text.begin(), text.end(),
        [&deepest](int depth, nlohmann::json::parse_event_t, nlohmann::json&) {
            deepest = std::max(deepest, depth);
            return true;
        },
        false);
    if (json.is_discarded() || !json.is_object() || deepest > kMaxNesting) return std::nullopt;
    Value value = fromJson(json);
    const Value::Dictionary* dictionary = value.asDictionary();
    if (!dictionary) return std::nullopt;
    return *dictionary;
}

}  // namespace quorvela
