#include "SandboxState.h"

#include <nlohmann/json.hpp>

namespace quorvela::sandbox {

namespace {

// Tables are created when missing, so a data folder of an older sandbox keeps
// working; add new tables at the end.
constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS applications (
    public_id TEXT PRIMARY KEY,
    app_name TEXT NOT NULL,
    private_key TEXT NOT NULL,
    default_workspace TEXT
);
CREATE TABLE IF NOT EXISTS requests (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    path TEXT NOT NULL,
    operation TEXT NOT NULL,
    signature_ok INTEGER,
    status INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS analytics_events (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    query TEXT NOT NULL
);
)sql";

SqlValue optionalValue(const std::optional<std::string>& text) {
    if (text) return *text;
    return nullptr;
}

}  // namespace

SandboxState::SandboxState(const std::filesystem::path& file) : db_(file) { db_.script(kSchema); }

void SandboxState::putApplication(const Application& application) {
    db_.execute(
        "INSERT OR REPLACE INTO applications (public_id, app_name, private_key, default_workspace) VALUES (?, ?, ?, ?)",
        {application.publicId, application.appName, application.privateKey,
         optionalValue(application.defaultWorkspace)});
}

std::optional<Application> SandboxState::application(const std::string& publicId) {
    auto rows = db_.query(
        "SELECT app_name, public_id, private_key, default_workspace FROM applications WHERE public_id = ?", {publicId});
    if (rows.empty()) return std::nullopt;
    const SqlRow& row = rows.front();
    return Application{Database::text(row[0]), Database::text(row[1]), Database::text(row[2]),
                       Database::optionalText(row[3])};
}

std::vector<Application> SandboxState::applications() {
    std::vector<Application> out;
    for (const SqlRow& row :
         db_.query("SELECT app_name, public_id, private_key, default_workspace FROM applications ORDER BY public_id")) {
        out.push_back(Application{Database::text(row[0]), Database::text(row[1]), Database::text(row[2]),
                                  Database::optionalText(row[3])});
    }
    return out;
}

void SandboxState::recordRequest(const RequestRecord& record) {
    SqlValue signature = nullptr;
    if (record.signatureOk) signature = std::int64_t{*record.signatureOk ? 1 : 0};
    db_.execute("INSERT INTO requests (time, path, operation, signature_ok, status) VALUES (?, ?, ?, ?, ?)",
                {record.time, record.path, record.operation, signature, std::int64_t{record.status}});
}

std::vector<RequestRecord> SandboxState::requests() {
    std::vector<RequestRecord> out;
    for (const SqlRow& row :
         db_.query("SELECT time, path, operation, signature_ok, status FROM requests ORDER BY id")) {
        RequestRecord record;
        record.time = Database::integer(row[0]);
        record.path = Database::text(row[1]);
        record.operation = Database::text(row[2]);
        if (!std::holds_alternative<std::nullptr_t>(row[3])) record.signatureOk = Database::integer(row[3]) != 0;
        record.status = static_cast<int>(Database::integer(row[4]));
        out.push_back(std::move(record));
    }
    return out;
}

void SandboxState::recordEvent(const AnalyticsEvent& event) {
    nlohmann::json pairs = nlohmann::json::array();
    for (const auto& [key, value] : event.query) pairs.push_back({key, value});
    // Bytes that are not UTF-8 are replaced rather than refused, so the event is still recorded.
    db_.execute("INSERT INTO analytics_events (time, query) VALUES (?, ?)",
                {event.time, pairs.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)});
}

std::vector<AnalyticsEvent> SandboxState::analyticsEvents() {
    std::vector<AnalyticsEvent> out;
    for (const SqlRow& row : db_.query("SELECT time, query FROM analytics_events ORDER BY id")) {
        AnalyticsEvent event;
        event.time = Database::integer(row[0]);
        for (const auto& pair : nlohmann::json::parse(Database::text(row[1]))) {
            event.query.emplace_back(pair.at(0).get<std::string>(), pair.at(1).get<std::string>());
        }
        out.push_back(std::move(event));
    }
    return out;
}

void SandboxState::clearRecords() {
    db_.execute("DELETE FROM requests");
    db_.execute("DELETE FROM analytics_events");
}

}  // namespace quorvela::sandbox
