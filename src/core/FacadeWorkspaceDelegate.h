#pragma once
// The facade as the delegate of its subscribed workspaces. The facade holds
// the lists that hold the workspaces, so the way back is weak: a strong
// reference would keep the facade, its lists and the workspaces alive for
// ever. Once the facade is gone the calls are dropped.

#include <memory>
#include <optional>
#include <string>

#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"

namespace quorvela {

class QuorvelaCore;

class FacadeWorkspaceDelegate : public WorkspaceProtocol {
public:
    explicit FacadeWorkspaceDelegate(std::weak_ptr<QuorvelaCore> facade) : facade_(std::move(facade)) {}
    static std::shared_ptr<FacadeWorkspaceDelegate> create(std::weak_ptr<QuorvelaCore> facade);

    /// The facade's application name at the moment of the call (none once the
    /// facade is gone).
    static WorkspaceRecord::AppNameSource appNameSource(std::weak_ptr<QuorvelaCore> facade);

    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace) override;
    void synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>& workspace) override;
    void synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>& workspace) override;
    void pushReceived(const std::shared_ptr<Message>& message,
                      const std::shared_ptr<WorkspaceRecord>& workspace) override;

private:
    const std::weak_ptr<QuorvelaCore> facade_;
};

}  // namespace quorvela
