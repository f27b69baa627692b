#pragma once
// What a workspace tells its delegate (the facade). Every operation has an
// empty default. Calls come off the main thread, from whichever thread
// finished the work (transport callbacks, the global queue); calls for
// different workspaces, and pushReceived calls for one workspace, may overlap.

#include <memory>

namespace quorvela {

class Message;
class WorkspaceRecord;

class WorkspaceProtocol {
public:
    virtual ~WorkspaceProtocol() = default;
    /// A full synchronisation ended: both fetches are done and the inbox was
    /// reloaded from its store.
    virtual void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& /*workspace*/) {}
    /// A geofence fetch outside a full synchronisation ended (either way).
    virtual void synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>& /*workspace*/) {}
    /// A beacon fetch outside a full synchronisation ended (either way).
    virtual void synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>& /*workspace*/) {}
    /// The end of every processMessage, whatever the inbox did.
    virtual void pushReceived(const std::shared_ptr<Message>& /*message*/,
                              const std::shared_ptr<WorkspaceRecord>& /*workspace*/) {}
};

}  // namespace quorvela
