#pragma once
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "sandbox/ChangeSignal.h"

struct sqlite3;

namespace quorvela::sandbox {

using SqlValue = std::variant<std::nullptr_t, std::int64_t, double, std::string>;
using SqlRow = std::vector<SqlValue>;

/// One SQLite file behind a mutex: every statement runs whole under the lock,
/// so the sandbox's request threads can share it.
class Database {
public:
    /// Opens or creates the file; throws std::runtime_error on failure.
    explicit Database(const std::filesystem::path& file);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    /// Runs several statements without parameters (schema set-up).
    void script(const std::string& sql);
    /// Runs one statement; returns the rows it produced.
    std::vector<SqlRow> query(std::string_view sql, const std::vector<SqlValue>& params = {});
    /// Runs one statement; returns the id of the row it inserted, if any.
    std::int64_t execute(std::string_view sql, const std::vector<SqlValue>& params = {});

    static std::string text(const SqlValue& value);
    static std::optional<std::string> optionalText(const SqlValue& value);
    static std::int64_t integer(const SqlValue& value);

    /// Notified after every statement that changed a row.
    ChangeSignal& changes() { return changes_; }

private:
    std::vector<SqlRow> run(std::string_view sql, const std::vector<SqlValue>& params, std::int64_t* rowId);

    sqlite3* db_ = nullptr;
    std::mutex mutex_;
    ChangeSignal changes_;
};

}  // namespace quorvela::sandbox
