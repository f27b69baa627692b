#include "Database.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>

namespace quorvela::sandbox {

namespace {

struct StatementFinalize {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};

}  // namespace

Database::Database(const std::filesystem::path& file) {
    // The state holds the clients' signing keys: readable by the owner only.
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd >= 0) ::close(fd);
    if (sqlite3_open_v2(file.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        std::string error = db_ != nullptr ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        throw std::runtime_error("Cannot open " + file.string() + ": " + error);
    }
    sqlite3_busy_timeout(db_, 5000);
    // The state must survive a restart, not a power cut: in WAL mode NORMAL
    // flushes to disk at checkpoints only, so a request it records waits for
    // no disk flush.
    script("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA foreign_keys=ON;");
}

Database::~Database() { sqlite3_close(db_); }

void Database::script(const std::string& sql) {
    std::lock_guard lock(mutex_);
    char* error = nullptr;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error != nullptr ? error : "unknown error";
        sqlite3_free(error);
        throw std::runtime_error("SQL failed: " + text);
    }
}

std::vector<SqlRow> Database::query(std::string_view sql, const std::vector<SqlValue>& params) {
    return run(sql, params, nullptr);
}

std::int64_t Database::execute(std::string_view sql, const std::vector<SqlValue>& params) {
    std::int64_t rowId = 0;
    run(sql, params, &rowId);
    return rowId;
}

std::vector<SqlRow> Database::run(std::string_view sql, const std::vector<SqlValue>& params, std::int64_t* rowId) {
    std::lock_guard lock(mutex_);
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK) {
        throw std::runtime_error(std::string("SQL failed: ") + sqlite3_errmsg(db_));
    }
    std::unique_ptr<sqlite3_stmt, StatementFinalize> statement(raw);
    for (std::size_t i = 0; i < params.size(); ++i) {
        const int index = static_cast<int>(i + 1);
        const SqlValue& value = params[i];
        if (std::holds_alternative<std::int64_t>(value)) {
            sqlite3_bind_int64(raw, index, std::get<std::int64_t>(value));
        } else if (std::holds_alternative<double>(value)) {
            sqlite3_bind_double(raw, index, std::get<double>(value));
        } else if (std::holds_alternative<std::string>(value)) {
            const std::string& text = std::get<std::string>(value);
            sqlite3_bind_text(raw, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        } else {
            sqlite3_bind_null(raw, index);
        }
    }
    std::vector<SqlRow> rows;
    for (;;) {
        const int step = sqlite3_step(raw);
        if (step == SQLITE_DONE) break;
        if (step != SQLITE_ROW) throw std::runtime_error(std::string("SQL failed: ") + sqlite3_errmsg(db_));
        SqlRow row;
        const int columns = sqlite3_column_count(raw);
        for (int c = 0; c < columns; ++c) {
            switch (sqlite3_column_type(raw, c)) {
            case SQLITE_INTEGER: row.emplace_back(static_cast<std::int64_t>(sqlite3_column_int64(raw, c))); break;
            case SQLITE_FLOAT: row.emplace_back(sqlite3_column_double(raw, c)); break;
            case SQLITE_NULL: row.emplace_back(nullptr); break;
            default: {
                const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_blob(raw, c));
                row.emplace_back(std::string(bytes != nullptr ? bytes : "", sqlite3_column_bytes(raw, c)));
            }
            }
        }
        rows.push_back(std::move(row));
    }
    if (rowId != nullptr) *rowId = sqlite3_last_insert_rowid(db_);
    // Only statements that wrote something wake the watchers; reads are most
    // of the traffic.
    if (sqlite3_stmt_readonly(raw) == 0 && sqlite3_changes(db_) > 0) changes_.notify();
    return rows;
}

std::string Database::text(const SqlValue& value) { return optionalText(value).value_or(std::string()); }

std::optional<std::string> Database::optionalText(const SqlValue& value) {
    if (std::holds_alternative<std::string>(value)) return std::get<std::string>(value);
    if (std::holds_alternative<std::int64_t>(value)) return std::to_string(std::get<std::int64_t>(value));
    if (std::holds_alternative<double>(value)) return std::to_string(std::get<double>(value));
    return std::nullopt;
}

std::int64_t Database::integer(const SqlValue& value) {
    if (std::holds_alternative<std::int64_t>(value)) return std::get<std::int64_t>(value);
    if (std::holds_alternative<double>(value)) return static_cast<std::int64_t>(std::get<double>(value));
    return 0;
}

}  // namespace quorvela::sandbox
