#include "core/WorkspaceLoaderCallbacks.h"

#include "core/QuorvelaCore.h"

namespace quorvela {

void WorkspaceLoaderCallbacks::availableWorkspacesLoadedSuccessfully(const WorkspaceList& workspaces) {
    facade_->availableWorkspacesLoadedSuccessfully(workspaces);
}

void WorkspaceLoaderCallbacks::availableWorkspacesLoadedWithErrors(const std::string& error) {
    facade_->availableWorkspacesLoadedWithErrors(error);
}

void WorkspaceLoaderCallbacks::subscribedWorkspacesLoadedSuccessfully(const WorkspaceList& workspaces) {
    facade_->subscribedWorkspacesLoadedSuccessfully(workspaces);
}

void WorkspaceLoaderCallbacks::subscribedWorkspacesLoadedWithErrors(const std::string& error) {
    facade_->subscribedWorkspacesLoadedWithErrors(error);
}

void WorkspaceLoaderCallbacks::workspaceSubscribedSuccessfully(const std::shared_ptr<Workspace>& workspace) {
    facade_->workspaceSubscribedSuccessfully(workspace);
}

void WorkspaceLoaderCallbacks::failedToSubscribeWorkspace(const std::shared_ptr<Workspace>& workspace,
                                                          const std::optional<std::string>& error) {
    facade_->failedToSubscribeWorkspace(workspace, error);
}

void WorkspaceLoaderCallbacks::workspaceUnsubscribedSuccessfully(const std::shared_ptr<Workspace>& workspace) {
    facade_->workspaceUnsubscribedSuccessfully(workspace);
}

void WorkspaceLoaderCallbacks::failedToUnsubscribeWorkspace(const std::shared_ptr<Workspace>& workspace,
                                                            const std::optional<std::string>& error) {
    facade_->failedToUnsubscribeWorkspace(workspace, error);
}

}  // namespace quorvela
