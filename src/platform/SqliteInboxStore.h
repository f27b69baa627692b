#pragma once
// The default inbox store: one row per message in the library's SQLite file
// (beside the settings), each commit one transaction. A record is kept as
// JSON text (message records hold texts only, so nothing is lost; bytes that
// are not UTF-8 become U+FFFD, as in the settings' property lists). An inbox
// that the settings still hold as one archive is taken over in the
// transaction that drops the archive.
//
// When the file cannot be opened, the reason goes to the system log once and
// the inboxes live in memory for the rest of the run; a failed commit is
// logged once and reported to the caller, which writes the whole inbox next.

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>

#include "platform/MemoryInboxStore.h"
#include "quorvela/platform/InboxStore.h"
#include "quorvela/platform/SystemLog.h"

struct sqlite3;

namespace quorvela {

class SqliteInboxStore : public InboxStore {
public:
    SqliteInboxStore(std::filesystem::path file, std::shared_ptr<SystemLog> log);
    ~SqliteInboxStore() override;
    SqliteInboxStore(const SqliteInboxStore&) = delete;
    SqliteInboxStore& operator=(const SqliteInboxStore&) = delete;

    std::optional<Rows> load(const std::string& inbox) override;
    bool commit(const std::vector<Change>& changes, std::optional<std::int64_t> journalDone = {}) override;
    Rows adopt(const std::string& inbox, const Rows& rows) override;
    std::optional<std::int64_t> journal(const std::vector<Value::Dictionary>& records) override;
    std::vector<JournalEntry> journalEntries() override;

    /// False when the file could not be opened and the inboxes live in memory.
    bool isPersistent() const;

private:
    class Statements;

    bool held(const std::string& inbox);
    Rows rows(const std::string& inbox);
    bool putRows(const std::string& inbox, const Rows& rows);
    bool apply(const Change& change);
    bool transaction(const std::function<bool()>& work);
    void report(const std::string& what) const;  // once per store

    std::filesystem::path file_;
    std::shared_ptr<SystemLog> log_;
    mutable std::mutex mutex_;
    sqlite3* db_ = nullptr;
    std::unique_ptr<Statements> statements_;
    MemoryInboxStore memory_;  // when the file cannot be used
    // Inboxes known to be marked held in the file, so a commit need not mark
    // them again.
    std::unordered_set<std::string> held_;
    mutable bool reported_ = false;
};

}  // namespace quorvela
