#pragma once
// The location operations that push commands start ("GET_LOC", geo pushes,
// deleted regions and beacons). Push processing reaches them through this
// interface so the command table can be exercised on its own; the facade's
// implementation is FacadeLocationActions.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include "quorvela/FetchResult.h"

namespace quorvela {

class WorkspaceRecord;

class PushLocationActions {
public:
    using Completion = FetchCompletion;
    using Text = std::optional<std::string>;

    virtual ~PushLocationActions() = default;
    virtual void sendLastLocationForMsgID(const Text& msgID, const Text& campaignName,
                                          const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) = 0;
    virtual void processGeoPushForMsgID(const Text& msgID, const Text& campaignName,
                                        const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) = 0;
    virtual bool locationServicesAreEnabled() const = 0;
    virtual void unregisterRegionWithMsgID(const Text& msgID, const Text& campaignName, const Text& messageType,
                                           const std::shared_ptr<WorkspaceRecord>& workspace) = 0;
    virtual void unregisterBeaconWithMsgID(const Text& msgID, const Text& campaignName, const Text& messageType,
                                           const std::shared_ptr<WorkspaceRecord>& workspace) = 0;
};

}  // namespace quorvela
