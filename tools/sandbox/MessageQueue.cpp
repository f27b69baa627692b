#include "MessageQueue.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <nlohmann/json.hpp>

#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

using nlohmann::json;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS queued_messages (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    client_id TEXT NOT NULL,
    user_id TEXT NOT NULL,
    message_id TEXT NOT NULL,
    fields TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS message_deliveries (
    message INTEGER NOT NULL,
    device TEXT NOT NULL,
    PRIMARY KEY (message, device)
);
CREATE TABLE IF NOT EXISTS responses (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    time INTEGER NOT NULL,
    client_id TEXT NOT NULL,
    sender TEXT NOT NULL,
    app_name TEXT NOT NULL,
    encoded_text TEXT NOT NULL,
    text TEXT
);
)sql";

constexpr const char* kColumns = "id, client_id, user_id, fields";

QueuedMessage fromRow(const SqlRow& row) {
    QueuedMessage message;
    message.row = Database::integer(row[0]);
    message.clientId = Database::text(row[1]);
    message.user = Database::text(row[2]);
    for (const auto& pair : json::parse(Database::text(row[3])))
        message.fields.emplace_back(pair.at(0).get<std::string>(), pair.at(1).get<std::string>());
    return message;
}

std::int64_t nowMillis() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

std::optional<std::string> QueuedMessage::field(const std::string& name) const {
    for (const auto& [key, value] : fields)
        if (key == name) return value;
    return std::nullopt;
}

namespace {

// Default ids must differ even for messages queued in the same millisecond:
// the client tells an inbox's messages apart by id, so equal ids would make
// one message replace the other.
std::int64_t uniqueStamp(std::int64_t now) {
    static std::atomic<std::int64_t> last{0};
    std::int64_t previous = last.load();
    std::int64_t next = 0;
    do {
        next = std::max(now, previous + 1);
    } while (!last.compare_exchange_weak(previous, next));
    return next;
}

}  // namespace

const std::vector<std::string>& MessageQueue::fieldNames() {
    static const std::vector<std::string> names{
        "blastID",           "id",   "type",     "from",     "to",      "subject",  "text",    "status",
        "statusDescription", "date", "timezone", "clientId", "appName", "platform", "metaData"};
    return names;
}

MessageQueue::MessageQueue(SandboxState& state) : state_(state) { state_.database().script(kSchema); }

QueuedMessage MessageQueue::queue(const std::string& clientId, const std::string& user,
                                  const std::vector<std::pair<std::string, std::string>>& fields) {
    std::vector<std::pair<std::string, std::string>> given = fields;
    const auto lookup = [&given](const std::string& name) -> std::optional<std::string> {
        for (const auto& [key, value] : given)
            if (key == name) return value;
        return std::nullopt;
    };
    const auto givenId = lookup("id");
    const std::string id = givenId ? *givenId : std::string("m").append(std::to_string(uniqueStamp(nowMillis())));
    QueuedMessage message;
    message.clientId = clientId;
    message.user = user;
    for (const auto& name : fieldNames()) {
        std::optional<std::string> value = lookup(name);
        if (!value && name == "id") value = id;
        if (!value && name == "blastID") value = "blast-" + id;
        if (!value && name == "clientId") value = clientId;
        if (!value && name == "to") value = user;
        if (value) message.fields.emplace_back(name, *value);
    }
    json pairs = json::array();
    for (const auto& [key, value] : message.fields) pairs.push_back({key, value});
    message.row = state_.database().execute(
        "INSERT INTO queued_messages (client_id, user_id, message_id, fields) VALUES (?, ?, ?, ?)",
        {clientId, user, id, pairs.dump(-1, ' ', false, json::error_handler_t::replace)});
    return message;
}

std::vector<QueuedMessage> MessageQueue::takePending(const std::string& device,
                                                     const std::optional<std::string>& clientId) {
    // One statement claims the messages, so concurrent fetches of one device
    // split the queue between them instead of each taking all of it.
    const std::string claim = std::string(
                                  "INSERT INTO message_deliveries (message, device) "
                                  "SELECT id, ? FROM queued_messages WHERE id NOT IN "
                                  "(SELECT message FROM message_deliveries WHERE device = ?)") +
                              (clientId ? " AND client_id = ?" : "") + " ORDER BY id RETURNING message";
    std::vector<SqlValue> params{device, device};
    if (clientId) params.emplace_back(*clientId);
    std::string claimed;
    for (const SqlRow& row : state_.database().query(claim, params)) {
        // Appended piece by piece: GCC 12 warns (-Wrestrict, a false
        // positive) on a literal prepended to a temporary string.
        if (!claimed.empty()) claimed += ',';
        claimed += std::to_string(Database::integer(row[0]));
    }
    std::vector<QueuedMessage> out;
    if (claimed.empty()) return out;
    for (const SqlRow& row : state_.database().query(std::string("SELECT ") + kColumns +
                                                     " FROM queued_messages WHERE id IN (" + claimed + ") ORDER BY id"))
        out.push_back(fromRow(row));
    return out;
}

std::optional<QueuedMessage> MessageQueue::find(const std::string& clientId, const std::string& messageId) {
    auto rows = state_.database().query(std::string("SELECT ") + kColumns +
                                            " FROM queued_messages WHERE client_id = ? AND message_id = ? "
                                            "ORDER BY id DESC LIMIT 1",
                                        {clientId, messageId});
    if (rows.empty()) return std::nullopt;
    return fromRow(rows.front());
}

std::vector<QueuedMessage> MessageQueue::all() {
    std::vector<QueuedMessage> out;
    for (const SqlRow& row :
         state_.database().query(std::string("SELECT ") + kColumns + " FROM queued_messages ORDER BY id"))
        out.push_back(fromRow(row));
    return out;
}

void MessageQueue::recordResponse(const ReceivedResponse& response) {
    SqlValue text = nullptr;
    if (response.text) text = *response.text;
    state_.database().execute(
        "INSERT INTO responses (time, client_id, sender, app_name, encoded_text, text) VALUES (?, ?, ?, ?, ?, ?)",
        {response.time, response.clientId, response.sender, response.appName, response.encodedText, text});
}

std::vector<ReceivedResponse> MessageQueue::responses() {
    std::vector<ReceivedResponse> out;
    for (const SqlRow& row : state_.database().query(
             "SELECT time, client_id, sender, app_name, encoded_text, text FROM responses ORDER BY id")) {
        out.push_back(ReceivedResponse{Database::integer(row[0]), Database::text(row[1]), Database::text(row[2]),
                                       Database::text(row[3]), Database::text(row[4]), Database::optionalText(row[5])});
    }
    return out;
}

}  // namespace quorvela::sandbox
