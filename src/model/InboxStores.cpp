#include "model/InboxStores.h"

#include "model/KeyValueInboxStore.h"
#include "model/RecordArchive.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

std::shared_ptr<InboxStore> InboxStores::of(const Platform& platform) {
    if (platform.inboxStore) return platform.inboxStore;
    if (!platform.keyValueStore) return nullptr;
    return std::make_shared<KeyValueInboxStore>(platform.keyValueStore);
}

Value InboxStores::archived(const Platform& platform, const std::string& inbox) {
    auto store = of(platform);
    auto rows = store ? store->load(inbox) : std::nullopt;
    if (!rows) return {};
    Value::Array records;
    records.reserve(rows->size());
    for (auto& row : *rows) records.emplace_back(std::move(row.record));
    return RecordArchive::archive(std::move(records));
}

}  // namespace quorvela
