#include "LocationStore.h"

#include <algorithm>
#include <iterator>

namespace quorvela::sandbox {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS location_reports (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    operation TEXT NOT NULL,
    device_id TEXT NOT NULL,
    client_id TEXT NOT NULL,
    time_stamp TEXT NOT NULL,
    latitude TEXT NOT NULL,
    longitude TEXT NOT NULL,
    request_id TEXT,
    region TEXT,
    status TEXT,
    region_type TEXT,
    app_name TEXT,
    platform TEXT
);
CREATE TABLE IF NOT EXISTS location_behaviour (
    id INTEGER PRIMARY KEY CHECK (id = 1),
    mode TEXT NOT NULL
);
)sql";

SqlValue optionalValue(const std::optional<std::string>& text) {
    if (text) return *text;
    return nullptr;
}

}  // namespace

LocationStore::LocationStore(Database& db) : db_(db) { db_.script(kSchema); }

void LocationStore::add(const LocationReport& r) {
    db_.execute(
        "INSERT INTO location_reports (time, operation, device_id, client_id, time_stamp, latitude, longitude, "
        "request_id, region, status, region_type, app_name, platform) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {r.time, r.operation, r.deviceId, r.clientId, r.timeStamp, r.latitude, r.longitude, optionalValue(r.requestId),
         optionalValue(r.region), optionalValue(r.status), optionalValue(r.regionType), optionalValue(r.appName),
         optionalValue(r.platform)});
}

std::vector<LocationReport> LocationStore::reports() {
    std::vector<LocationReport> out;
    for (const SqlRow& row :
         db_.query("SELECT time, operation, device_id, client_id, time_stamp, latitude, longitude, request_id, region, "
                   "status, region_type, app_name, platform FROM location_reports ORDER BY id")) {
        LocationReport r;
        r.time = Database::integer(row[0]);
        r.operation = Database::text(row[1]);
        r.deviceId = Database::text(row[2]);
        r.clientId = Database::text(row[3]);
        r.timeStamp = Database::text(row[4]);
        r.latitude = Database::text(row[5]);
        r.longitude = Database::text(row[6]);
        r.requestId = Database::optionalText(row[7]);
        r.region = Database::optionalText(row[8]);
        r.status = Database::optionalText(row[9]);
        r.regionType = Database::optionalText(row[10]);
        r.appName = Database::optionalText(row[11]);
        r.platform = Database::optionalText(row[12]);
        out.push_back(std::move(r));
    }
    return out;
}

void LocationStore::clear() { db_.execute("DELETE FROM location_reports"); }

std::string LocationStore::mode() {
    auto rows = db_.query("SELECT mode FROM location_behaviour WHERE id = 1");
    return rows.empty() ? std::string(kModes[0]) : Database::text(rows.front()[0]);
}

bool LocationStore::setMode(const std::string& mode) {
    if (std::find(std::begin(kModes), std::end(kModes), mode) == std::end(kModes)) return false;
    db_.execute("INSERT OR REPLACE INTO location_behaviour (id, mode) VALUES (1, ?)", {mode});
    return true;
}

}  // namespace quorvela::sandbox
