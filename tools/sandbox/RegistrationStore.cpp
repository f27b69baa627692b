#include "RegistrationStore.h"

#include <nlohmann/json.hpp>

namespace quorvela::sandbox {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS app_users (
    device_id TEXT NOT NULL,
    public_id TEXT NOT NULL,
    user_id TEXT NOT NULL,
    validated INTEGER NOT NULL,
    PRIMARY KEY (device_id, public_id)
);
CREATE TABLE IF NOT EXISTS device_tokens (
    device_id TEXT NOT NULL,
    public_id TEXT NOT NULL,
    push_token TEXT NOT NULL,
    PRIMARY KEY (device_id, public_id)
);
CREATE TABLE IF NOT EXISTS registration_behaviour (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    register_mode TEXT NOT NULL,
    validation_code TEXT NOT NULL,
    malformed TEXT NOT NULL
);
)sql";

AppUser userFrom(const SqlRow& row) {
    return AppUser{Database::text(row[0]), Database::text(row[1]), Database::text(row[2]),
                   Database::integer(row[3]) != 0};
}

}  // namespace

RegistrationStore::RegistrationStore(Database& db) : db_(db) { db_.script(kSchema); }

void RegistrationStore::putUser(const AppUser& user) {
    db_.execute("INSERT OR REPLACE INTO app_users (device_id, public_id, user_id, validated) VALUES (?, ?, ?, ?)",
                {user.deviceId, user.publicId, user.userId, std::int64_t{user.validated ? 1 : 0}});
}

bool RegistrationStore::removeUser(const std::string& deviceId, const std::string& publicId) {
    if (!user(deviceId, publicId)) return false;
    db_.execute("DELETE FROM app_users WHERE device_id = ? AND public_id = ?", {deviceId, publicId});
    return true;
}

std::optional<AppUser> RegistrationStore::user(const std::string& deviceId, const std::string& publicId) {
    auto rows = db_.query(
        "SELECT device_id, public_id, user_id, validated FROM app_users WHERE device_id = ? AND public_id = ?",
        {deviceId, publicId});
    if (rows.empty()) return std::nullopt;
    return userFrom(rows.front());
}

std::vector<AppUser> RegistrationStore::users() {
    std::vector<AppUser> out;
    for (const SqlRow& row :
         db_.query("SELECT device_id, public_id, user_id, validated FROM app_users ORDER BY public_id, device_id")) {
        out.push_back(userFrom(row));
    }
    return out;
}

void RegistrationStore::putDevice(const DeviceToken& device) {
    db_.execute("INSERT OR REPLACE INTO device_tokens (device_id, public_id, push_token) VALUES (?, ?, ?)",
                {device.deviceId, device.publicId, device.pushToken});
}

std::vector<DeviceToken> RegistrationStore::devices() {
    std::vector<DeviceToken> out;
    for (const SqlRow& row :
         db_.query("SELECT device_id, public_id, push_token FROM device_tokens ORDER BY public_id, device_id")) {
        out.push_back(DeviceToken{Database::text(row[0]), Database::text(row[1]), Database::text(row[2])});
    }
    return out;
}

RegistrationBehaviour RegistrationStore::behaviour() {
    RegistrationBehaviour out;
    auto rows = db_.query("SELECT register_mode, validation_code, malformed FROM registration_behaviour WHERE id = 1");
    if (rows.empty()) return out;
    out.registerMode = Database::text(rows.front()[0]);
    out.validationCode = Database::text(rows.front()[1]);
    for (const auto& name : nlohmann::json::parse(Database::text(rows.front()[2]))) {
        out.malformed.insert(name.get<std::string>());
    }
    return out;
}

void RegistrationStore::setBehaviour(const RegistrationBehaviour& behaviour) {
    db_.execute(
        "INSERT OR REPLACE INTO registration_behaviour (id, register_mode, validation_code, malformed) "
        "VALUES (1, ?, ?, ?)",
        {behaviour.registerMode, behaviour.validationCode, nlohmann::json(behaviour.malformed).dump()});
}

}  // namespace quorvela::sandbox
