#pragma once
#include <optional>
#include <string>

#include "quorvela/platform/Platform.h"

namespace quorvela {

/// A key-value store entry as a request path writes it ("%@"): the value's
/// text, or nothing when the key is absent.
class StoredText {
public:
    static std::optional<std::string> read(const Platform& platform, const std::string& key);
};

}  // namespace quorvela
