#include "model/KeyValueInboxStore.h"

#include "model/RecordArchive.h"

namespace quorvela {

KeyValueInboxStore::KeyValueInboxStore(std::shared_ptr<KeyValueStore> store) : store_(std::move(store)) {}

std::optional<InboxStore::Rows> KeyValueInboxStore::load(const std::string& inbox) {
    Rows rows;
    if (!store_) return rows;
    auto records = RecordArchive::unarchive(store_->get(inbox)).value_or(Value::Array());
    rows.reserve(records.size());
    auto position = static_cast<std::int64_t>(records.size());
    for (auto& record : records) rows.push_back({position--, std::move(*record.asDictionary())});
    return rows;
}

bool KeyValueInboxStore::commit(const std::vector<Change>& changes, std::optional<std::int64_t> /*journalDone*/) {
    if (!store_) return false;
    for (const auto& change : changes) {
        Value::Array records;
        if (change.whole)
            for (auto& record : change.whole()) records.emplace_back(std::move(record));
        store_->set(change.inbox, RecordArchive::archive(std::move(records)));
    }
    return true;
}

InboxStore::Rows KeyValueInboxStore::adopt(const std::string& inbox, const Rows& /*rows*/) {
    return load(inbox).value_or(Rows());
}

std::optional<std::int64_t> KeyValueInboxStore::journal(const std::vector<Value::Dictionary>& /*records*/) {
    return std::nullopt;
}

std::vector<InboxStore::JournalEntry> KeyValueInboxStore::journalEntries() { return {}; }

}  // namespace quorvela
