#include "LocationEndpoints.h"

#include <chrono>
#include <cmath>
#include <cstdlib>

#include "LocationStore.h"
#include "RestRouter.h"
#include "SandboxState.h"
#include "WorkspaceTable.h"

namespace quorvela::sandbox {

namespace {

// The client id stands before the trailing time stamp: an application's
// public id (its default workspace, signed with the private key) or a seeded
// workspace's client id (signed with that workspace's key).
std::optional<std::string> workspaceKey(const RestCall& call, SandboxState& state) {
    if (call.segments.size() < 2) return std::nullopt;
    const std::string& client = call.segments[call.segments.size() - 2];
    if (auto application = state.application(client)) return application->privateKey;
    return WorkspaceTable(state).keyOf(client);
}

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += c;
        }
    }
    return out;
}

bool isDegrees(const std::string& text, double limit) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value) && std::fabs(value) <= limit;
}

bool isMillis(const std::string& text) {
    return !text.empty() && text.size() <= 19 && text.find_first_not_of("0123456789") == std::string::npos;
}

std::int64_t nowMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

// Stores a valid report and answers as the store's mode says.
RestReply answer(LocationStore& store, const LocationReport& report, const std::string& accepted) {
    const std::string mode = store.mode();
    if (mode == "malformed")
        return RestReply{500, "<html><body><h1>500 Internal Server Error</h1></body>", "text/html"};
    store.add(report);
    if (mode == "reject") return LocationEndpoints::reply(false, "Report refused");
    return LocationEndpoints::reply(true, accepted);
}

RestReply badRequest(const std::string& why) { return LocationEndpoints::reply(false, "Bad request: " + why, 400); }

}  // namespace

void LocationEndpoints::addTo(RestRouter& router) {
    router.add("sendLocation", RestOperation{workspaceKey, sendLocation});
    router.add("notifyRegionEvent", RestOperation{workspaceKey, notifyRegionEvent});
}

RestReply LocationEndpoints::reply(bool successful, const std::string& message, int status) {
    return RestReply{status, "<locationResult><successful>" + std::string(successful ? "true" : "false") +
                                 "</successful><message>" + escaped(message) + "</message></locationResult>"};
}

RestReply LocationEndpoints::sendLocation(const RestCall& call, SandboxState& state) {
    const auto& s = call.segments;
    if (s.size() != 8) return badRequest("sendLocation takes 8 values");
    if (s[5] != "APP") return badRequest("the sixth value must be APP");
    if (!isMillis(s[2])) return badRequest("the time stamp must be milliseconds");
    if (!isDegrees(s[3], 90.0) || !isDegrees(s[4], 180.0)) return badRequest("invalid coordinates");
    LocationReport report;
    report.time = nowMillis();
    report.operation = "sendLocation";
    report.requestId = s[0];
    report.deviceId = s[1];
    report.timeStamp = s[2];
    report.latitude = s[3];
    report.longitude = s[4];
    report.clientId = s[6];
    LocationStore store(state.database());
    return answer(store, report, "Location received");
}

RestReply LocationEndpoints::notifyRegionEvent(const RestCall& call, SandboxState& state) {
    const auto& s = call.segments;
    if (s.size() != 11) return badRequest("notifyRegionEvent takes 11 values");
    if (s[2] != "ENTER" && s[2] != "EXIT") return badRequest("the status must be ENTER or EXIT");
    if (!isMillis(s[3])) return badRequest("the time stamp must be milliseconds");
    if (!isDegrees(s[4], 90.0) || !isDegrees(s[5], 180.0)) return badRequest("invalid coordinates");
    LocationReport report;
    report.time = nowMillis();
    report.operation = "notifyRegionEvent";
    report.region = s[0];
    report.deviceId = s[1];
    report.status = s[2];
    report.timeStamp = s[3];
    report.latitude = s[4];
    report.longitude = s[5];
    report.regionType = s[6];
    report.appName = s[7];
    report.platform = s[8];
    report.clientId = s[9];
    LocationStore store(state.database());
    return answer(store, report, "Region event received");
}

}  // namespace quorvela::sandbox
