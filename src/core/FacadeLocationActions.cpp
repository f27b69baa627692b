#include "core/FacadeLocationActions.h"

#include "core/QuorvelaCore.h"

namespace quorvela {

void FacadeLocationActions::sendLastLocationForMsgID(const Text& msgID, const Text& campaignName,
                                                     const std::shared_ptr<WorkspaceRecord>& workspace,
                                                     Completion handler) {
    facade_->sendLastLocationForMsgID(msgID, campaignName, workspace, std::move(handler));
}

void FacadeLocationActions::processGeoPushForMsgID(const Text& msgID, const Text& campaignName,
                                                   const std::shared_ptr<WorkspaceRecord>& workspace,
                                                   Completion handler) {
    facade_->processGeoPushForMsgID(msgID, campaignName, workspace, std::move(handler));
}

bool FacadeLocationActions::locationServicesAreEnabled() const { return facade_->locationServicesAreEnabled(); }

void FacadeLocationActions::unregisterRegionWithMsgID(const Text& msgID, const Text& campaignName,
                                                      const Text& messageType,
                                                      const std::shared_ptr<WorkspaceRecord>& workspace) {
    facade_->unregisterRegionWithMsgID(msgID, campaignName, messageType, workspace);
}

void FacadeLocationActions::unregisterBeaconWithMsgID(const Text& msgID, const Text& campaignName,
                                                      const Text& messageType,
                                                      const std::shared_ptr<WorkspaceRecord>& workspace) {
    facade_->unregisterBeaconWithMsgID(msgID, campaignName, messageType, workspace);
}

}  // namespace quorvela
