#include "core/PendingMessageCallbacks.h"

#include "core/QuorvelaCore.h"

namespace quorvela {

void PendingMessageCallbacks::pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& messages) {
    facade_->pendingMessagesRetrieved(messages);
}

void PendingMessageCallbacks::pendingMessagesRetrievedError(const std::string& error) {
    facade_->pendingMessagesRetrievedError(error);
}

}  // namespace quorvela
