#include "core/FacadeWorkspaceDelegate.h"

#include "core/QuorvelaCore.h"

namespace quorvela {

std::shared_ptr<FacadeWorkspaceDelegate> FacadeWorkspaceDelegate::create(std::weak_ptr<QuorvelaCore> facade) {
    return std::make_shared<FacadeWorkspaceDelegate>(std::move(facade));
}

WorkspaceRecord::AppNameSource FacadeWorkspaceDelegate::appNameSource(std::weak_ptr<QuorvelaCore> facade) {
    return [facade = std::move(facade)]() -> std::optional<std::string> {
        if (auto strong = facade.lock()) return strong->appName();
        return std::nullopt;
    };
}

void FacadeWorkspaceDelegate::synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (auto facade = facade_.lock()) facade->synchronicedWorkspace(workspace);
}

void FacadeWorkspaceDelegate::synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (auto facade = facade_.lock()) facade->synchronicedGeofences(workspace);
}

void FacadeWorkspaceDelegate::synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (auto facade = facade_.lock()) facade->synchronicedBeacons(workspace);
}

void FacadeWorkspaceDelegate::pushReceived(const std::shared_ptr<Message>& message,
                                           const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (auto facade = facade_.lock()) facade->pushReceived(message, workspace);
}

}  // namespace quorvela
