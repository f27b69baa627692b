#pragma once
// Which inbox store a platform's inboxes live in: its own port, or else the
// inboxes as archives in its key-value store.

#include <memory>
#include <string>

#include "quorvela/platform/InboxStore.h"

namespace quorvela {

struct Platform;

class InboxStores {
public:
    /// Null only for a platform without either store.
    static std::shared_ptr<InboxStore> of(const Platform& platform);
    /// The inbox `inbox` as the one archive the key-value store would hold
    /// for it; null when the store does not hold that inbox.
    static Value archived(const Platform& platform, const std::string& inbox);
};

}  // namespace quorvela
