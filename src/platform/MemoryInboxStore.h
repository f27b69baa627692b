#pragma once
// Inboxes that live only as long as the process: the store for tests, and the
// fallback when the data folder cannot be written.

#include <map>
#include <mutex>
#include <set>
#include <string>

#include "quorvela/platform/InboxStore.h"

namespace quorvela {

class MemoryInboxStore : public InboxStore {
public:
    std::optional<Rows> load(const std::string& inbox) override;
    bool commit(const std::vector<Change>& changes, std::optional<std::int64_t> journalDone = {}) override;
    Rows adopt(const std::string& inbox, const Rows& rows) override;
    std::optional<std::int64_t> journal(const std::vector<Value::Dictionary>& records) override;
    std::vector<JournalEntry> journalEntries() override;

    /// Number of commits so far (a test counts the steps of one change).
    std::size_t commits() const;

private:
    using Positions = std::map<std::int64_t, Value::Dictionary, std::greater<>>;  // newest first
    static Rows rowsOf(const Positions& positions);

    mutable std::mutex mutex_;
    std::map<std::string, Positions> inboxes_;
    std::map<std::int64_t, std::vector<Value::Dictionary>> journal_;
    std::int64_t nextEntry_ = 1;
    std::size_t commits_ = 0;
};

}  // namespace quorvela
