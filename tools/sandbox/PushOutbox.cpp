#include "PushOutbox.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "MessageQueue.h"
#include "RegistrationStore.h"
#include "SandboxState.h"
#include "WorkspaceTable.h"

namespace quorvela::sandbox {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS push_outbox (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    push_token TEXT NOT NULL,
    device_id TEXT NOT NULL,
    public_id TEXT NOT NULL,
    payload TEXT NOT NULL,
    delivered INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX IF NOT EXISTS push_outbox_token ON push_outbox (push_token, delivered);
)sql";

constexpr const char* kColumns = "id, time, push_token, device_id, public_id, payload, delivered";

OutboxPush fromRow(const SqlRow& row) {
    return OutboxPush{Database::integer(row[0]),     Database::integer(row[1]), Database::text(row[2]),
                      Database::text(row[3]),        Database::text(row[4]),    Database::text(row[5]),
                      Database::integer(row[6]) != 0};
}

std::vector<OutboxPush> fromRows(const std::vector<SqlRow>& rows) {
    std::vector<OutboxPush> out;
    for (const SqlRow& row : rows) out.push_back(fromRow(row));
    // RETURNING gives no order.
    std::sort(out.begin(), out.end(), [](const OutboxPush& a, const OutboxPush& b) { return a.id < b.id; });
    return out;
}

std::int64_t nowMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

PushOutbox::PushOutbox(SandboxState& state) : state_(state) { state_.database().script(kSchema); }

std::string PushOutbox::normalizedToken(const std::string& pushToken) {
    std::string out = pushToken;
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

OutboxPush PushOutbox::send(const std::string& pushToken, const std::string& payloadJson) {
    const std::string token = normalizedToken(pushToken);
    const auto payload = nlohmann::json::parse(payloadJson, nullptr, false);
    if (payload.is_discarded() || !payload.is_object())
        throw std::invalid_argument("The push payload must be a JSON object");
    const auto device = this->device(token);
    if (!device) throw std::invalid_argument("No device registered the push token " + pushToken);
    OutboxPush push{0,
                    nowMillis(),
                    token,
                    device->deviceId,
                    device->publicId,
                    payload.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
                    false};
    push.id = state_.database().execute(
        "INSERT INTO push_outbox (time, push_token, device_id, public_id, payload) VALUES (?, ?, ?, ?, ?)",
        {push.time, push.pushToken, push.deviceId, push.publicId, push.payload});
    return push;
}

OutboxPush PushOutbox::announce(const std::string& pushToken, const std::string& clientId,
                                const std::optional<std::string>& user,
                                const std::vector<std::pair<std::string, std::string>>& fields,
                                const std::string& extraPayloadJson) {
    const auto device = this->device(pushToken);
    if (!device) throw std::invalid_argument("No device registered the push token " + pushToken);
    WorkspaceTable(state_).require(clientId);
    nlohmann::json extra = nlohmann::json::object();
    if (!extraPayloadJson.empty()) {
        extra = nlohmann::json::parse(extraPayloadJson, nullptr, false);
        if (extra.is_discarded() || !extra.is_object())
            throw std::invalid_argument("The push payload must be a JSON object");
    }
    std::string recipient = user.value_or("");
    if (!user) {
        if (auto registered = RegistrationStore(state_.database()).user(device->deviceId, device->publicId))
            recipient = registered->userId;
    }
    const QueuedMessage message = MessageQueue(state_).queue(clientId, recipient, fields);
    nlohmann::json payload{{"msgId", message.field("id").value_or("")}, {"type", "TXT_MSG"}, {"clientId", clientId}};
    if (auto subject = message.field("subject")) payload["subject"] = *subject;
    for (const auto& [key, value] : extra.items()) payload[key] = value;
    return send(pushToken, payload.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

std::optional<DeviceToken> PushOutbox::device(const std::string& pushToken) {
    const std::string token = normalizedToken(pushToken);
    for (const DeviceToken& device : RegistrationStore(state_.database()).devices())
        if (normalizedToken(device.pushToken) == token) return device;
    return std::nullopt;
}

std::vector<OutboxPush> PushOutbox::takeUndelivered(const std::string& pushToken) {
    return fromRows(state_.database().query(
        std::string("UPDATE push_outbox SET delivered = 1 WHERE push_token = ? AND delivered = 0 RETURNING ") +
            kColumns,
        {normalizedToken(pushToken)}));
}

std::vector<OutboxPush> PushOutbox::undelivered(const std::string& pushToken) {
    return fromRows(state_.database().query(
        std::string("SELECT ") + kColumns + " FROM push_outbox WHERE push_token = ? AND delivered = 0",
        {normalizedToken(pushToken)}));
}

std::vector<OutboxPush> PushOutbox::all() {
    return fromRows(state_.database().query(std::string("SELECT ") + kColumns + " FROM push_outbox"));
}

void PushOutbox::clear() { state_.database().execute("DELETE FROM push_outbox"); }

}  // namespace quorvela::sandbox
