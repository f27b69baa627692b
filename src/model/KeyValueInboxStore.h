#pragma once
// Inboxes kept in a key-value store, each as one archive under its key (the
// format the settings always held): every commit rewrites the inboxes it
// changes whole. Used when the platform brings no inbox store. Such a store
// keeps no journal: a reply is safe once its inbox took it.

#include <memory>

#include "quorvela/platform/InboxStore.h"
#include "quorvela/platform/KeyValueStore.h"

namespace quorvela {

class KeyValueInboxStore : public InboxStore {
public:
    explicit KeyValueInboxStore(std::shared_ptr<KeyValueStore> store);

    /// The archive under `inbox`, at positions size..1; never nothing.
    std::optional<Rows> load(const std::string& inbox) override;
    bool commit(const std::vector<Change>& changes, std::optional<std::int64_t> journalDone = {}) override;
    Rows adopt(const std::string& inbox, const Rows& rows) override;
    std::optional<std::int64_t> journal(const std::vector<Value::Dictionary>& records) override;
    std::vector<JournalEntry> journalEntries() override;

private:
    std::shared_ptr<KeyValueStore> store_;
};

}  // namespace quorvela
