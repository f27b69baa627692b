#include "RegionLists.h"

#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS region_lists (
    client_id TEXT NOT NULL,
    kind TEXT NOT NULL,
    body TEXT NOT NULL,
    PRIMARY KEY (client_id, kind)
);
)sql";

const char* kindName(RegionLists::Kind kind) { return kind == RegionLists::Kind::Geofences ? "geofences" : "beacons"; }

}  // namespace

RegionLists::RegionLists(SandboxState& state) : state_(state) { state_.database().script(kSchema); }

void RegionLists::set(const std::string& clientId, Kind kind, const std::string& json) {
    state_.database().execute("INSERT OR REPLACE INTO region_lists (client_id, kind, body) VALUES (?, ?, ?)",
                              {clientId, std::string(kindName(kind)), json});
}

std::string RegionLists::get(const std::string& clientId, Kind kind) {
    auto rows = state_.database().query("SELECT body FROM region_lists WHERE client_id = ? AND kind = ?",
                                        {clientId, std::string(kindName(kind))});
    return rows.empty() ? std::string("[]") : Database::text(rows.front()[0]);
}

}  // namespace quorvela::sandbox
