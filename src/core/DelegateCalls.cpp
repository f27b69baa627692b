#include "core/DelegateCalls.h"

namespace quorvela {

using Operation = QuorvelaProtocol::Operation;

void DelegateCalls::pushReceived(const std::shared_ptr<QuorvelaProtocol>& delegate,
                                 const std::shared_ptr<Message>& message, const std::shared_ptr<Workspace>& workspace) {
    if (!delegate) return;
    if (delegate->implements(Operation::PushReceivedFromWorkspace))
        delegate->pushReceivedFromWorkspace(message, workspace);
    if (delegate->implements(Operation::PushReceived)) delegate->pushReceived(message);
}

void DelegateCalls::quorvelaReady(const std::shared_ptr<QuorvelaProtocol>& delegate) {
    if (delegate && delegate->implements(Operation::QuorvelaReady)) delegate->QuorvelaReady();
}

}  // namespace quorvela
