#pragma once
// The facade's side of the workspace loader: one per request, holding the
// facade strongly until the loader has reported (as a loader holds its
// delegate), and handing every callback to the facade's public callbacks.

#include <memory>
#include <optional>
#include <string>

#include "protocol/WorkspaceDelegate.h"

namespace quorvela {

class QuorvelaCore;

class WorkspaceLoaderCallbacks : public WorkspaceDelegate {
public:
    explicit WorkspaceLoaderCallbacks(std::shared_ptr<QuorvelaCore> facade) : facade_(std::move(facade)) {}
    static std::shared_ptr<WorkspaceLoaderCallbacks> create(std::shared_ptr<QuorvelaCore> facade) {
        return std::make_shared<WorkspaceLoaderCallbacks>(std::move(facade));
    }

    void availableWorkspacesLoadedSuccessfully(const WorkspaceList& workspaces) override;
    void availableWorkspacesLoadedWithErrors(const std::string& error) override;
    void subscribedWorkspacesLoadedSuccessfully(const WorkspaceList& workspaces) override;
    void subscribedWorkspacesLoadedWithErrors(const std::string& error) override;
    void workspaceSubscribedSuccessfully(const std::shared_ptr<Workspace>& workspace) override;
    void failedToSubscribeWorkspace(const std::shared_ptr<Workspace>& workspace,
                                    const std::optional<std::string>& error) override;
    void workspaceUnsubscribedSuccessfully(const std::shared_ptr<Workspace>& workspace) override;
    void failedToUnsubscribeWorkspace(const std::shared_ptr<Workspace>& workspace,
                                      const std::optional<std::string>& error) override;

private:
    const std::shared_ptr<QuorvelaCore> facade_;
};

}  // namespace quorvela
