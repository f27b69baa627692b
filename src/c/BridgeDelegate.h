#pragma once
// The facade's delegate of a C handle: passes each call on to the bridge,
// the message as its JSON object text.

#include <memory>

#include "c/CallbackBridge.h"
#include "quorvela/QuorvelaProtocol.h"

namespace quorvela::c {

class BridgeDelegate : public QuorvelaProtocol {
public:
    explicit BridgeDelegate(std::shared_ptr<CallbackBridge> bridge) : bridge_(std::move(bridge)) {}

    /// Only the workspace form: the facade makes the message-only call right
    /// after it, which would hand the host every message twice.
    bool implements(Operation operation) const override { return operation != Operation::PushReceived; }
    void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) override;
    void QuorvelaReady() override { bridge_->ready(); }

private:
    const std::shared_ptr<CallbackBridge> bridge_;
};

}  // namespace quorvela::c
