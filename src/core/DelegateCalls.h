#pragma once
// Calls toward the host's delegate, each only when the delegate says it
// implements the operation. A null delegate receives nothing.

#include <memory>

#include "quorvela/QuorvelaProtocol.h"

namespace quorvela {

class DelegateCalls {
public:
    /// `pushReceived(message, workspace)` and then `pushReceived(message)`,
    /// each if implemented.
    static void pushReceived(const std::shared_ptr<QuorvelaProtocol>& delegate, const std::shared_ptr<Message>& message,
                             const std::shared_ptr<Workspace>& workspace);
    static void quorvelaReady(const std::shared_ptr<QuorvelaProtocol>& delegate);
};

}  // namespace quorvela
