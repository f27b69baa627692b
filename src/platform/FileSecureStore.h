#pragma once
// The default secure item store: one file per item in a private folder
// (mode 0700), each file mode 0600. The file name is the SHA-256 of account
// and service, so no caller text ever becomes part of a path.
//
// An item is written to a temporary file, flushed to disk and moved into
// place without replacing anything, so an item is either wholly there or not
// at all, and an existing item is never overwritten (kDuplicateItem, as the
// platform answers). Missing item: kItemNotFound; any file error: kIoError.

#include <filesystem>
#include <mutex>

#include "quorvela/platform/SecureStore.h"

namespace quorvela {

class FileSecureStore : public SecureStore {
public:
    explicit FileSecureStore(std::filesystem::path folder);

    std::int32_t addItem(const std::string& account, const std::string& service,
                         const std::vector<std::uint8_t>& data) override;
    std::int32_t copyItem(const std::string& account, const std::string& service,
                          std::vector<std::uint8_t>& data) const override;

    /// The file that holds (or would hold) the item.
    std::filesystem::path itemPath(const std::string& account, const std::string& service) const;

    /// Items bigger than this are refused on reading (kIoError).
    static constexpr std::size_t kMaxItemBytes = 1u << 20;

private:
    std::filesystem::path folder_;
    std::mutex mutex_;  // serialises adds within the process
};

}  // namespace quorvela
