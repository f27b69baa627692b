#include "platform/MemoryInboxStore.h"

namespace quorvela {

InboxStore::Rows MemoryInboxStore::rowsOf(const Positions& positions) {
    Rows rows;
    rows.reserve(positions.size());
    for (const auto& [position, record] : positions) rows.push_back({position, record});
    return rows;
}

std::optional<InboxStore::Rows> MemoryInboxStore::load(const std::string& inbox) {
    std::lock_guard lock(mutex_);
    auto it = inboxes_.find(inbox);
    if (it == inboxes_.end()) return std::nullopt;
    return rowsOf(it->second);
}

bool MemoryInboxStore::commit(const std::vector<Change>& changes, std::optional<std::int64_t> journalDone) {
    std::lock_guard lock(mutex_);
    for (const auto& change : changes) {
        auto& positions = inboxes_[change.inbox];
        if (change.replaceAll) positions.clear();
        for (auto position : change.remove) positions.erase(position);
        for (const auto& row : change.put) positions[row.position] = row.record;
    }
    if (journalDone) journal_.erase(*journalDone);
    ++commits_;
    return true;
}

InboxStore::Rows MemoryInboxStore::adopt(const std::string& inbox, const Rows& rows) {
    std::lock_guard lock(mutex_);
    auto [it, added] = inboxes_.try_emplace(inbox);
    if (added)
        for (const auto& row : rows) it->second[row.position] = row.record;
    return rowsOf(it->second);
}

std::optional<std::int64_t> MemoryInboxStore::journal(const std::vector<Value::Dictionary>& records) {
    std::lock_guard lock(mutex_);
    const auto entry = nextEntry_++;
    journal_[entry] = records;
    return entry;
}

std::vector<InboxStore::JournalEntry> MemoryInboxStore::journalEntries() {
    std::lock_guard lock(mutex_);
    std::vector<JournalEntry> entries;
    for (const auto& [id, records] : journal_) entries.push_back({id, records});
    return entries;
}

std::size_t MemoryInboxStore::commits() const {
    std::lock_guard lock(mutex_);
    return commits_;
}

}  // namespace quorvela
