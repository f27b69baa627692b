#include "EndpointFaults.h"

#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS endpoint_faults (
    operation TEXT PRIMARY KEY,
    fault TEXT NOT NULL
);
)sql";

// What a dropped reply gets through before the connection closes: the start
// of a reply whose rest never comes.
constexpr const char* kDroppedBodyStart = "<?xml version=\"1.0\"?><messages><message><id>1</id>";

}  // namespace

EndpointFaults::EndpointFaults(SandboxState& state) : state_(state) { state_.database().script(kSchema); }

bool EndpointFaults::isKnown(const std::string& fault) {
    return fault == "malformed" || fault == "html" || fault == "drop";
}

void EndpointFaults::set(const std::string& operation, const std::optional<std::string>& fault) {
    if (fault) {
        state_.database().execute("INSERT OR REPLACE INTO endpoint_faults (operation, fault) VALUES (?, ?)",
                                  {operation, *fault});
    } else {
        state_.database().execute("DELETE FROM endpoint_faults WHERE operation = ?", {operation});
    }
}

std::map<std::string, std::string> EndpointFaults::all() {
    std::map<std::string, std::string> faults;
    for (const SqlRow& row : state_.database().query("SELECT operation, fault FROM endpoint_faults"))
        faults.emplace(Database::text(row[0]), Database::text(row[1]));
    return faults;
}

std::optional<std::string> EndpointFaults::get(const std::string& operation) {
    auto rows = state_.database().query("SELECT fault FROM endpoint_faults WHERE operation = ?", {operation});
    if (rows.empty()) return std::nullopt;
    return Database::text(rows.front()[0]);
}

RestReply EndpointFaults::reply(const std::string& fault) {
    if (fault == "html") {
        return RestReply{500,
                         "<!DOCTYPE html>\n<html><head><title>500 Internal Server Error</title></head>"
                         "<body><h1>Internal Server Error</h1><hr><p>The server could not complete the request."
                         "</body></html>\n",
                         "text/html"};
    }
    if (fault == "drop") return RestReply{200, kDroppedBodyStart, "application/xml", true};
    return RestReply{200, "<?xml version=\"1.0\"?><messages><message><id>1</id><subj", "application/xml"};
}

RestOperation EndpointFaults::withFaults(const std::string& name, RestOperation operation) {
    auto handler = operation.handle;
    operation.handle = [name, handler](const RestCall& call, SandboxState& state) {
        if (auto fault = EndpointFaults(state).get(name)) return reply(*fault);
        return handler(call, state);
    };
    return operation;
}

}  // namespace quorvela::sandbox
