#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "quorvela/Export.h"

namespace quorvela {

/// Generic-password items, found by account and service. Status codes follow
/// the platform's: 0 success, errSecDuplicateItem, errSecItemNotFound, ...
class QUORVELA_EXPORT SecureStore {
public:
    static constexpr std::int32_t kSuccess = 0;
    static constexpr std::int32_t kDuplicateItem = -25299;
    static constexpr std::int32_t kItemNotFound = -25300;
    static constexpr std::int32_t kIoError = -36;

    virtual ~SecureStore() = default;
    /// Adds an item; never overwrites an existing one (kDuplicateItem).
    virtual std::int32_t addItem(const std::string& account, const std::string& service,
                                 const std::vector<std::uint8_t>& data) = 0;
    /// Copies the data of the item into `data`.
    virtual std::int32_t copyItem(const std::string& account, const std::string& service,
                                  std::vector<std::uint8_t>& data) const = 0;
};

}  // namespace quorvela
