#include "WorkspaceSubscriptions.h"

#include <nlohmann/json.hpp>

namespace quorvela::sandbox {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS workspace_subscriptions (
    app_name TEXT NOT NULL,
    user_id TEXT NOT NULL,
    client_id TEXT NOT NULL,
    PRIMARY KEY (app_name, user_id, client_id)
);
CREATE TABLE IF NOT EXISTS workspace_behaviour (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    refuse_join TEXT NOT NULL,
    refuse_leave TEXT NOT NULL
);
)sql";

std::set<std::string> namesOf(const std::string& json) {
    std::set<std::string> out;
    for (const auto& name : nlohmann::json::parse(json)) out.insert(name.get<std::string>());
    return out;
}

}  // namespace

WorkspaceSubscriptions::WorkspaceSubscriptions(Database& db) : db_(db) { db_.script(kSchema); }

bool WorkspaceSubscriptions::add(const WorkspaceSubscription& s) {
    if (contains(s)) return false;
    db_.execute("INSERT INTO workspace_subscriptions (app_name, user_id, client_id) VALUES (?, ?, ?)",
                {s.appName, s.userId, s.clientId});
    return true;
}

bool WorkspaceSubscriptions::remove(const WorkspaceSubscription& s) {
    if (!contains(s)) return false;
    db_.execute("DELETE FROM workspace_subscriptions WHERE app_name = ? AND user_id = ? AND client_id = ?",
                {s.appName, s.userId, s.clientId});
    return true;
}

bool WorkspaceSubscriptions::contains(const WorkspaceSubscription& s) {
    return !db_.query("SELECT 1 FROM workspace_subscriptions WHERE app_name = ? AND user_id = ? AND client_id = ?",
                      {s.appName, s.userId, s.clientId})
                .empty();
}

std::vector<std::string> WorkspaceSubscriptions::clientIds(const std::string& appName, const std::string& userId) {
    std::vector<std::string> out;
    for (const SqlRow& row :
         db_.query("SELECT client_id FROM workspace_subscriptions WHERE app_name = ? AND user_id = ? ORDER BY rowid",
                   {appName, userId}))
        out.push_back(Database::text(row[0]));
    return out;
}

std::vector<WorkspaceSubscription> WorkspaceSubscriptions::all() {
    std::vector<WorkspaceSubscription> out;
    for (const SqlRow& row :
         db_.query("SELECT app_name, user_id, client_id FROM workspace_subscriptions ORDER BY rowid"))
        out.push_back({Database::text(row[0]), Database::text(row[1]), Database::text(row[2])});
    return out;
}

WorkspaceBehaviour WorkspaceSubscriptions::behaviour() {
    WorkspaceBehaviour out;
    auto rows = db_.query("SELECT refuse_join, refuse_leave FROM workspace_behaviour WHERE id = 1");
    if (rows.empty()) return out;
    out.refuseJoin = namesOf(Database::text(rows.front()[0]));
    out.refuseLeave = namesOf(Database::text(rows.front()[1]));
    return out;
}

void WorkspaceSubscriptions::setBehaviour(const WorkspaceBehaviour& behaviour) {
    db_.execute("INSERT OR REPLACE INTO workspace_behaviour (id, refuse_join, refuse_leave) VALUES (1, ?, ?)",
                {nlohmann::json(behaviour.refuseJoin).dump(), nlohmann::json(behaviour.refuseLeave).dump()});
}

}  // namespace quorvela::sandbox
