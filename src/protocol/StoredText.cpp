#include "protocol/StoredText.h"

namespace quorvela {

std::optional<std::string> StoredText::read(const Platform& platform, const std::string& key) {
    if (!platform.keyValueStore) return std::nullopt;
    const Value value = platform.keyValueStore->get(key);
    if (value.isNull()) return std::nullopt;
    return value.describe();
}

}  // namespace quorvela
