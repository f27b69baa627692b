#include "model/WorkspaceList.h"

#include "model/WorkspaceRecord.h"

namespace quorvela {

std::shared_ptr<WorkspaceList> WorkspaceList::create(Items items) {
    return std::make_shared<WorkspaceList>(std::move(items));
}

WorkspaceList::Items WorkspaceList::snapshot() const {
    auto guard = lock();
    return items_;
}

std::size_t WorkspaceList::size() const {
    auto guard = lock();
    return items_.size();
}

void WorkspaceList::append(std::shared_ptr<WorkspaceRecord> workspace) {
    auto guard = lock();
    items_.push_back(std::move(workspace));
}

std::shared_ptr<WorkspaceRecord> WorkspaceList::findByClientId(const std::optional<std::string>& clientId) const {
    if (!clientId) return nullptr;
    for (const auto& workspace : snapshot()) {
        if (workspace && workspace->clientId() == clientId) return workspace;
    }
    return nullptr;
}

}  // namespace quorvela
