#pragma once
#include <optional>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

/// The host application's resources.
class QUORVELA_EXPORT Bundle {
public:
    virtual ~Bundle() = default;
    /// Full path of the resource "name.type", when it exists.
    virtual std::optional<std::string> pathForResource(const std::string& name, const std::string& type) const = 0;
    /// The resource read as a property list whose root is a dictionary; nothing
    /// when it is missing, unreadable or not a dictionary.
    virtual std::optional<Value::Dictionary> dictionaryForResource(const std::string& name,
                                                                   const std::string& type) const = 0;
    /// The translation of `key`, or the key itself when there is none.
    virtual std::string localizedString(const std::string& key) const = 0;
};

}  // namespace quorvela
