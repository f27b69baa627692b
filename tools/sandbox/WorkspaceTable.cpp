#include "WorkspaceTable.h"

#include <stdexcept>

#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS workspaces (
    client_id TEXT PRIMARY KEY,
    name TEXT NOT NULL,
    public_key TEXT NOT NULL,
    callback_url TEXT
);
)sql";

SandboxWorkspace fromRow(const SqlRow& row) {
    return SandboxWorkspace{Database::text(row[0]), Database::text(row[1]), Database::text(row[2]),
                            Database::optionalText(row[3])};
}

}  // namespace

WorkspaceTable::WorkspaceTable(SandboxState& state) : state_(state) { state_.database().script(kSchema); }

void WorkspaceTable::put(const SandboxWorkspace& workspace) {
    SqlValue callback = nullptr;
    if (workspace.callbackUrl) callback = *workspace.callbackUrl;
    state_.database().execute(
        "INSERT OR REPLACE INTO workspaces (client_id, name, public_key, callback_url) VALUES (?, ?, ?, ?)",
        {workspace.clientId, workspace.name, workspace.publicKey, callback});
}

std::optional<SandboxWorkspace> WorkspaceTable::find(const std::string& clientId) {
    auto rows = state_.database().query(
        "SELECT client_id, name, public_key, callback_url FROM workspaces WHERE client_id = ?", {clientId});
    if (rows.empty()) return std::nullopt;
    return fromRow(rows.front());
}

SandboxWorkspace WorkspaceTable::require(const std::string& clientId) {
    auto workspace = find(clientId);
    if (!workspace) throw std::invalid_argument("Unknown workspace: " + clientId);
    return *workspace;
}

std::vector<SandboxWorkspace> WorkspaceTable::all() {
    std::vector<SandboxWorkspace> out;
    for (const SqlRow& row :
         state_.database().query("SELECT client_id, name, public_key, callback_url FROM workspaces ORDER BY rowid"))
        out.push_back(fromRow(row));
    return out;
}

std::optional<std::string> WorkspaceTable::keyOf(const std::string& clientId) {
    auto workspace = find(clientId);
    if (!workspace) return std::nullopt;
    return workspace->publicKey;
}

}  // namespace quorvela::sandbox
