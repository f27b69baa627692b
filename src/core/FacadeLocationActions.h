#pragma once
// The facade's own location operations behind PushLocationActions. Holds the
// facade strongly: a queued push job keeps it alive until the job has run.

#include <memory>

#include "core/PushLocationActions.h"

namespace quorvela {

class QuorvelaCore;

class FacadeLocationActions : public PushLocationActions {
public:
    explicit FacadeLocationActions(std::shared_ptr<QuorvelaCore> facade) : facade_(std::move(facade)) {}

    void sendLastLocationForMsgID(const Text& msgID, const Text& campaignName,
                                  const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) override;
    void processGeoPushForMsgID(const Text& msgID, const Text& campaignName,
                                const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) override;
    bool locationServicesAreEnabled() const override;
    void unregisterRegionWithMsgID(const Text& msgID, const Text& campaignName, const Text& messageType,
                                   const std::shared_ptr<WorkspaceRecord>& workspace) override;
    void unregisterBeaconWithMsgID(const Text& msgID, const Text& campaignName, const Text& messageType,
                                   const std::shared_ptr<WorkspaceRecord>& workspace) override;

private:
    const std::shared_ptr<QuorvelaCore> facade_;
};

}  // namespace quorvela
