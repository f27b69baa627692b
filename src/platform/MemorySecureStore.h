#pragma once
// Secure items held in memory only: for tests, and for hosts that must not
// write secrets to disk. A switch makes every call fail with a given status,
// so callers' handling of a broken store can be exercised.

#include <atomic>
#include <map>
#include <mutex>
#include <utility>

#include "quorvela/platform/SecureStore.h"

namespace quorvela {

class MemorySecureStore : public SecureStore {
public:
    std::int32_t addItem(const std::string& account, const std::string& service,
                         const std::vector<std::uint8_t>& data) override;
    std::int32_t copyItem(const std::string& account, const std::string& service,
                          std::vector<std::uint8_t>& data) const override;

    /// From now on every call returns `status` and changes nothing;
    /// kSuccess switches the store back to normal.
    void setFailStatus(std::int32_t status) { failStatus_ = status; }
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::map<std::pair<std::string, std::string>, std::vector<std::uint8_t>> items_;
    std::atomic<std::int32_t> failStatus_{kSuccess};
};

}  // namespace quorvela
