#include "platform/SqliteInboxStore.h"

#include <sqlite3.h>

#include <fmt/format.h>

#include <array>
#include <limits>
#include <nlohmann/json.hpp>

#include "platform/SqliteFile.h"
#include "platform/SqliteKeyValueStore.h"
#include "platform/ValueConversions.h"

namespace quorvela {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS inbox_rows (inbox TEXT NOT NULL, position INTEGER NOT NULL, record TEXT NOT NULL, "
    "PRIMARY KEY (inbox, position)) WITHOUT ROWID;"
    "CREATE TABLE IF NOT EXISTS inbox_held (inbox TEXT PRIMARY KEY NOT NULL);"
    "CREATE TABLE IF NOT EXISTS inbox_journal (entry INTEGER PRIMARY KEY AUTOINCREMENT, records TEXT NOT NULL)";

std::string jsonText(const Value& value) {
    return toJson(value).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<Value::Dictionary> recordOf(const unsigned char* text, int size) {
    if (!text || size <= 0) return std::nullopt;
    auto value =
        valueFromJsonText(std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)));
    if (!value || !value->asDictionary()) return std::nullopt;
    return *value->asDictionary();
}

}  // namespace

// The prepared statements, each reset and unbound after every use.
class SqliteInboxStore::Statements {
public:
    enum Id {
        kHeld,
        kRows,
        kHold,
        kClear,
        kRemove,
        kPut,
        kDropArchive,
        kJournalAdd,
        kJournalDrop,
        kJournalAll,
        kBegin,
        kCommit,
        kRollback,
        kCount
    };

    int prepare(sqlite3* db) {
        static const std::array<const char*, kCount> sql = {
            "SELECT 1 FROM inbox_held WHERE inbox = ?1",
            "SELECT position, record FROM inbox_rows WHERE inbox = ?1 ORDER BY position DESC",
            "INSERT OR IGNORE INTO inbox_held (inbox) VALUES (?1)",
            "DELETE FROM inbox_rows WHERE inbox = ?1",
            "DELETE FROM inbox_rows WHERE inbox = ?1 AND position = ?2",
            "INSERT INTO inbox_rows (inbox, position, record) VALUES (?1, ?2, ?3) "
            "ON CONFLICT(inbox, position) DO UPDATE SET record = excluded.record",
            "DELETE FROM settings WHERE key = ?1",
            "INSERT INTO inbox_journal (records) VALUES (?1)",
            "DELETE FROM inbox_journal WHERE entry = ?1",
            "SELECT entry, records FROM inbox_journal ORDER BY entry",
            "BEGIN IMMEDIATE",
            "COMMIT",
            "ROLLBACK",
        };
        for (std::size_t i = 0; i < sql.size(); ++i) {
            int rc = sqlite3_prepare_v3(db, sql[i], -1, SQLITE_PREPARE_PERSISTENT, &statements_[i], nullptr);
            if (rc != SQLITE_OK) return rc;
        }
        return SQLITE_OK;
    }
    ~Statements() {
        for (auto* statement : statements_) sqlite3_finalize(statement);
    }

    /// The statement `id` with its text and integer parameters bound in order.
    class Use {
    public:
        explicit Use(sqlite3_stmt* statement) : statement_(statement) {}
        ~Use() {
            sqlite3_reset(statement_);
            sqlite3_clear_bindings(statement_);
        }
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;
        Use& text(const std::string& value) {
            if (ok_)
                ok_ = value.size() < static_cast<std::size_t>(std::numeric_limits<int>::max()) &&
                      sqlite3_bind_text(statement_, ++index_, value.data(), static_cast<int>(value.size()),
                                        SQLITE_STATIC) == SQLITE_OK;
            return *this;
        }
        Use& integer(std::int64_t value) {
            if (ok_) ok_ = sqlite3_bind_int64(statement_, ++index_, value) == SQLITE_OK;
            return *this;
        }
        /// SQLITE_ROW, SQLITE_DONE or an error.
        int step() { return ok_ ? sqlite3_step(statement_) : SQLITE_MISUSE; }
        bool run() { return step() == SQLITE_DONE; }
        sqlite3_stmt* operator*() const { return statement_; }

    private:
        sqlite3_stmt* statement_;
        int index_ = 0;
        bool ok_ = true;
    };
    Use use(Id id) { return Use(statements_[id]); }

private:
    std::array<sqlite3_stmt*, kCount> statements_{};
};

SqliteInboxStore::SqliteInboxStore(std::filesystem::path file, std::shared_ptr<SystemLog> log)
    : file_(std::move(file)), log_(std::move(log)) {
    std::lock_guard lock(mutex_);
    int rc = SqliteFile::open(file_, log_, &db_);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, SqliteKeyValueStore::kCreateTable, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        statements_ = std::make_unique<Statements>();
        rc = statements_->prepare(db_);
    }
    if (rc != SQLITE_OK) {
        report(fmt::format("cannot be opened ({})", db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)));
        statements_.reset();
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

SqliteInboxStore::~SqliteInboxStore() {
    std::lock_guard lock(mutex_);
    statements_.reset();
    if (db_) sqlite3_close_v2(db_);
}

void SqliteInboxStore::report(const std::string& what) const {
    if (reported_ || !log_) return;
    reported_ = true;
    log_->writeAt(LogLevel::Error, fmt::format("Quorvela: the inbox store {} {}", file_.string(), what));
}

bool SqliteInboxStore::isPersistent() const {
    std::lock_guard lock(mutex_);
    return db_ != nullptr;
}

bool SqliteInboxStore::transaction(const std::function<bool()>& work) {
    // Prepared once: a commit per received message is the common case.
    if (!statements_->use(Statements::kBegin).run()) {
        report(fmt::format("cannot be written ({})", sqlite3_errmsg(db_)));
        return false;
    }
    if (work() && statements_->use(Statements::kCommit).run()) return true;
    report(fmt::format("cannot be written ({})", sqlite3_errmsg(db_)));
    statements_->use(Statements::kRollback).run();
    return false;
}

bool SqliteInboxStore::held(const std::string& inbox) {
    if (held_.count(inbox)) return true;
    return statements_->use(Statements::kHeld).text(inbox).step() == SQLITE_ROW;
}

InboxStore::Rows SqliteInboxStore::rows(const std::string& inbox) {
    Rows rows;
    auto select = statements_->use(Statements::kRows);
    select.text(inbox);
    while (select.step() == SQLITE_ROW) {
        // A damaged row is left out rather than taking the inbox with it.
        if (auto record = recordOf(sqlite3_column_text(*select, 1), sqlite3_column_bytes(*select, 1)))
            rows.push_back({sqlite3_column_int64(*select, 0), std::move(*record)});
    }
    return rows;
}

bool SqliteInboxStore::putRows(const std::string& inbox, const Rows& rows) {
    for (const auto& row : rows)
        if (!statements_->use(Statements::kPut)
                 .text(inbox)
                 .integer(row.position)
                 .text(jsonText(Value(row.record)))
                 .run())
            return false;
    return true;
}

bool SqliteInboxStore::apply(const Change& change) {
    if (!held_.count(change.inbox) && !statements_->use(Statements::kHold).text(change.inbox).run()) return false;
    if (change.replaceAll && !statements_->use(Statements::kClear).text(change.inbox).run()) return false;
    for (auto position : change.remove)
        if (!statements_->use(Statements::kRemove).text(change.inbox).integer(position).run()) return false;
    return putRows(change.inbox, change.put);
}

std::optional<InboxStore::Rows> SqliteInboxStore::load(const std::string& inbox) {
    std::lock_guard lock(mutex_);
    if (!db_) return memory_.load(inbox);
    if (!held(inbox)) return std::nullopt;
    held_.insert(inbox);
    return rows(inbox);
}

bool SqliteInboxStore::commit(const std::vector<Change>& changes, std::optional<std::int64_t> journalDone) {
    std::lock_guard lock(mutex_);
    if (!db_) return memory_.commit(changes, journalDone);
    const bool stored = transaction([&] {
        for (const auto& change : changes)
            if (!apply(change)) return false;
        return !journalDone || statements_->use(Statements::kJournalDrop).integer(*journalDone).run();
    });
    // Known held only once committed: a rolled-back mark would be a lie.
    if (stored)
        for (const auto& change : changes) held_.insert(change.inbox);
    return stored;
}

InboxStore::Rows SqliteInboxStore::adopt(const std::string& inbox, const Rows& given) {
    std::lock_guard lock(mutex_);
    if (!db_) return memory_.adopt(inbox, given);
    Rows result = given;
    const bool stored = transaction([&] {
        if (held(inbox)) {
            result = rows(inbox);
            return true;
        }
        // The archive goes in the step that brings its rows: a crash leaves
        // one of the two, never neither.
        return statements_->use(Statements::kHold).text(inbox).run() && putRows(inbox, given) &&
               statements_->use(Statements::kDropArchive).text(inbox).run();
    });
    if (stored) held_.insert(inbox);
    return stored ? result : given;
}

std::optional<std::int64_t> SqliteInboxStore::journal(const std::vector<Value::Dictionary>& records) {
    std::lock_guard lock(mutex_);
    if (!db_) return memory_.journal(records);
    Value::Array array(records.begin(), records.end());
    if (!statements_->use(Statements::kJournalAdd).text(jsonText(Value(std::move(array)))).run()) {
        report(fmt::format("cannot be written ({})", sqlite3_errmsg(db_)));
        return std::nullopt;
    }
    return sqlite3_last_insert_rowid(db_);
}

std::vector<InboxStore::JournalEntry> SqliteInboxStore::journalEntries() {
    std::lock_guard lock(mutex_);
    if (!db_) return memory_.journalEntries();
    std::vector<JournalEntry> entries;
    auto select = statements_->use(Statements::kJournalAll);
    while (select.step() == SQLITE_ROW) {
        JournalEntry entry{sqlite3_column_int64(*select, 0), {}};
        const auto* text = sqlite3_column_text(*select, 1);
        const auto size = sqlite3_column_bytes(*select, 1);
        if (text && size > 0) {
            if (auto value = valueFromJsonText(
                    std::string_view(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)));
                value && value->asArray()) {
                for (const auto& element : *value->asArray())
                    if (element.asDictionary()) entry.records.push_back(*element.asDictionary());
            }
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

}  // namespace quorvela
