#pragma once
#include <memory>

#include "quorvela/Export.h"

namespace quorvela {

class Message;
class Workspace;

/// What the library tells the host application. Every operation has an empty
/// default body, so a host overrides only what it needs; `implements` says
/// which operations the host wants to receive at all (the library asks before
/// each call and skips the ones it answers false for).
///
/// Threads: every call arrives off the main thread, on whatever thread
/// delivered the network reply behind it. Calls may overlap each other (two
/// replies can be handled at once), so an implementation guards its own state.
class QUORVELA_EXPORT QuorvelaProtocol {
public:
    enum class Operation { PushReceivedFromWorkspace, PushReceived, QuorvelaReady };

    virtual ~QuorvelaProtocol() = default;

    /// True when the host wants calls of `operation`; all of them by default.
    virtual bool implements(Operation operation) const {
        (void)operation;
        return true;
    }

    /// A workspace stored, replaced or deleted `message` of its inbox.
    virtual void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) {
        (void)message;
        (void)workspace;
    }
    /// Called right after the two-argument form, on the same occasion.
    virtual void pushReceived(std::shared_ptr<Message> message) { (void)message; }
    /// The subscribed workspaces were loaded and told to synchronise.
    virtual void QuorvelaReady() {}
};

}  // namespace quorvela
