#pragma once
// How a workspace reaches the service: each request gets its loader, with the
// workspace (through a WorkspaceLoaderDelegate) as the loader's delegate.
// Stateless; the synchronisation state stays on the workspace.
#include "model/WorkspaceService.h"

namespace quorvela {

class WorkspaceSynchronization : public WorkspaceService {
public:
    /// Installs one instance as the workspaces' service (idempotent).
    static void install();

    void fetchGeofences(const std::shared_ptr<WorkspaceRecord>& workspace, FetchCompletion completion) override;
    void fetchBeacons(const std::shared_ptr<WorkspaceRecord>& workspace, FetchCompletion completion) override;
    void fetchMessage(const std::shared_ptr<WorkspaceRecord>& workspace, const std::optional<std::string>& messageId,
                      FetchCompletion completion) override;
    void sendMessage(const std::shared_ptr<WorkspaceRecord>& workspace,
                     const std::optional<std::string>& text) override;
};

}  // namespace quorvela
