#pragma once
// An ordered list of workspaces that carries its own re-entrant lock. The lock
// belongs to the list object: whoever replaces the facade's list replaces the
// lock with it. Changes are made while holding `lock()`; readers take
// `snapshot()`, which copies under the same lock.

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quorvela {

class WorkspaceRecord;

class WorkspaceList {
public:
    using Items = std::vector<std::shared_ptr<WorkspaceRecord>>;

    WorkspaceList() = default;
    explicit WorkspaceList(Items items) : items_(std::move(items)) {}
    static std::shared_ptr<WorkspaceList> create(Items items = {});

    WorkspaceList(const WorkspaceList&) = delete;
    WorkspaceList& operator=(const WorkspaceList&) = delete;

    /// Holds the list's lock (re-entrant) for a sequence of changes.
    std::unique_lock<std::recursive_mutex> lock() const { return std::unique_lock(mutex_); }
    /// The elements, for a caller that holds `lock()`.
    Items& items() { return items_; }
    const Items& items() const { return items_; }

    /// A copy of the elements, taken under the lock.
    Items snapshot() const;
    std::size_t size() const;
    void append(std::shared_ptr<WorkspaceRecord> workspace);

    /// The first element whose client id equals `clientId` (client id alone);
    /// a null `clientId` matches nothing.
    std::shared_ptr<WorkspaceRecord> findByClientId(const std::optional<std::string>& clientId) const;

private:
    mutable std::recursive_mutex mutex_;
    Items items_;
};

}  // namespace quorvela
