#include "platform/SqliteKeyValueStore.h"

#include <sqlite3.h>

#include <fmt/format.h>

#include <limits>

#include "platform/SqliteFile.h"
#include "platform/ValueConversions.h"

namespace quorvela {

namespace {

std::optional<std::string> encode(const Value& value) { return binaryPlistFromValue(Value(Value::Array{value})); }

Value decode(const void* bytes, int size) {
    if (!bytes || size <= 0) return {};
    auto wrapped =
        valueFromBinaryPlist(std::string_view(static_cast<const char*>(bytes), static_cast<std::size_t>(size)));
    if (!wrapped || !wrapped->asArray() || wrapped->asArray()->size() != 1) return {};
    return wrapped->asArray()->front();
}

struct Reset {
    sqlite3_stmt* statement;
    ~Reset() {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
};

}  // namespace

SqliteKeyValueStore::SqliteKeyValueStore(std::filesystem::path file, std::shared_ptr<SystemLog> log)
    : file_(std::move(file)), log_(std::move(log)) {
    std::lock_guard lock(mutex_);
    open();
}

SqliteKeyValueStore::~SqliteKeyValueStore() {
    std::lock_guard lock(mutex_);
    close();
}

void SqliteKeyValueStore::report(const std::string& what, int code) const {
    if (reported_ || !log_) return;
    reported_ = true;
    const char* reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(code);
    log_->writeAt(LogLevel::Error,
                  fmt::format("Quorvela: the settings store {} {} ({}); settings are kept in memory for this run",
                              file_.string(), what, reason ? reason : sqlite3_errstr(code)));
}

void SqliteKeyValueStore::open() {
    int rc = SqliteFile::open(file_, log_, &db_);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, kCreateTable, nullptr, nullptr, nullptr);
    auto prepare = [&](const char* sql, sqlite3_stmt** statement) {
        if (rc == SQLITE_OK) rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, statement, nullptr);
    };
    prepare("SELECT value FROM settings WHERE key = ?1", &select_);
    prepare(
        "INSERT INTO settings (key, value) VALUES (?1, ?2) "
        "ON CONFLICT(key) DO UPDATE SET value = excluded.value",
        &upsert_);
    prepare("DELETE FROM settings WHERE key = ?1", &delete_);
    if (rc != SQLITE_OK) {
        report("cannot be opened", rc);
        close();
    }
}

void SqliteKeyValueStore::close() {
    for (auto* statement : {select_, upsert_, delete_}) sqlite3_finalize(statement);
    select_ = upsert_ = delete_ = nullptr;
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool SqliteKeyValueStore::isPersistent() const {
    std::lock_guard lock(mutex_);
    return db_ != nullptr;
}

Value SqliteKeyValueStore::get(const std::string& key) const {
    std::lock_guard lock(mutex_);
    // Copied from the optional directly: value_or's moved temporary makes
    // GCC 12 at -O2 report a variant member as maybe uninitialized.
    if (auto it = memory_.find(key); it != memory_.end()) return it->second ? *it->second : Value();
    if (!db_) return {};
    Reset reset{select_};
    if (sqlite3_bind_text(select_, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC) != SQLITE_OK) return {};
    if (sqlite3_step(select_) != SQLITE_ROW) return {};
    return decode(sqlite3_column_blob(select_, 0), sqlite3_column_bytes(select_, 0));
}

bool SqliteKeyValueStore::writeRow(const std::string& key, const std::string* blob) {
    if (!db_) return false;
    sqlite3_stmt* statement = blob ? upsert_ : delete_;
    Reset reset{statement};
    int rc = sqlite3_bind_text(statement, 1, key.data(), static_cast<int>(key.size()), SQLITE_STATIC);
    if (rc == SQLITE_OK && blob)
        rc = sqlite3_bind_blob(statement, 2, blob->data(), static_cast<int>(blob->size()), SQLITE_STATIC);
    if (rc == SQLITE_OK) rc = sqlite3_step(statement);
    if (rc == SQLITE_DONE) return true;
    report("cannot be written", rc);
    return false;
}

void SqliteKeyValueStore::set(const std::string& key, const Value& value) {
    if (value.isNull()) {
        remove(key);
        return;
    }
    auto blob = encode(value);
    std::lock_guard lock(mutex_);
    if (blob && blob->size() < static_cast<std::size_t>(std::numeric_limits<int>::max()) && writeRow(key, &*blob))
        memory_.erase(key);
    else memory_[key] = value;
}

void SqliteKeyValueStore::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    if (writeRow(key, nullptr)) memory_.erase(key);
    else memory_[key] = std::nullopt;
}

bool SqliteKeyValueStore::synchronize() {
    std::lock_guard lock(mutex_);
    if (!db_) return false;
    int rc = sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_FULL, nullptr, nullptr);
    if (rc != SQLITE_OK) report("cannot be synchronised", rc);
    return rc == SQLITE_OK && memory_.empty();
}

}  // namespace quorvela
