#pragma once
// The default key-value store: one SQLite file, one row per key.
//
// Each value is kept as a binary property list holding a one-element array,
// so every Value kind survives (a null inside an array or dictionary cannot
// be written to a property list and is left out; dates keep microseconds).
// The file runs in WAL mode with synchronous=NORMAL: a write is atomic at
// once and becomes durable at the latest with `synchronize`, which
// checkpoints the log.
//
// Failures never stop the store: when the file cannot be opened (unwritable
// folder, not a database) or a write fails, the reason goes to the system log
// once and the affected values are kept in memory for the rest of the run
// (reads see them; `synchronize` then reports false). A stored value that
// cannot be decoded reads as absent.
//
// The file is opened as SqliteFile describes (owner-only, WAL).

#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "quorvela/platform/KeyValueStore.h"
#include "quorvela/platform/SystemLog.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quorvela {

class SqliteKeyValueStore : public KeyValueStore {
public:
    SqliteKeyValueStore(std::filesystem::path file, std::shared_ptr<SystemLog> log);
    ~SqliteKeyValueStore() override;
    SqliteKeyValueStore(const SqliteKeyValueStore&) = delete;
    SqliteKeyValueStore& operator=(const SqliteKeyValueStore&) = delete;

    Value get(const std::string& key) const override;
    void set(const std::string& key, const Value& value) override;
    void remove(const std::string& key) override;
    bool synchronize() override;

    /// False when the file could not be opened and everything lives in memory.
    bool isPersistent() const;

    /// The table of the settings; the inbox store drops an inbox's old
    /// archive from it in the step that takes the inbox over.
    static constexpr const char* kCreateTable =
        "CREATE TABLE IF NOT EXISTS settings (key TEXT PRIMARY KEY NOT NULL, value BLOB NOT NULL)";

private:
    void open();
    void close();
    void report(const std::string& what, int code) const;            // once per store
    bool writeRow(const std::string& key, const std::string* blob);  // null blob: delete

    std::filesystem::path file_;
    std::shared_ptr<SystemLog> log_;
    mutable std::mutex mutex_;
    sqlite3* db_ = nullptr;
    sqlite3_stmt* select_ = nullptr;
    sqlite3_stmt* upsert_ = nullptr;
    sqlite3_stmt* delete_ = nullptr;
    // Values the file could not take: nothing means "removed".
    std::map<std::string, std::optional<Value>> memory_;
    mutable bool reported_ = false;
};

}  // namespace quorvela
