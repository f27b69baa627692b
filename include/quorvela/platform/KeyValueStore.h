#pragma once
#include <string>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

/// Persistent settings by key. Safe to use from any thread. A write is never
/// half-visible: a reader sees the old value or the new one.
class QUORVELA_EXPORT KeyValueStore {
public:
    virtual ~KeyValueStore() = default;
    /// The stored value, or a null Value when the key is absent (or its stored
    /// bytes are damaged).
    virtual Value get(const std::string& key) const = 0;
    /// Stores a value; storing a null Value removes the key.
    virtual void set(const std::string& key, const Value& value) = 0;
    virtual void remove(const std::string& key) = 0;
    /// Makes every earlier write durable; false when that failed.
    virtual bool synchronize() = 0;

    bool contains(const std::string& key) const { return !get(key).isNull(); }
};

}  // namespace quorvela
