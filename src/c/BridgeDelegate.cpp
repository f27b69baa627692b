#include "c/BridgeDelegate.h"

#include "c/JsonExport.h"
#include "quorvela/Workspace.h"

namespace quorvela::c {

void BridgeDelegate::pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) {
    bridge_->messageReceived(JsonExport::message(message), workspace ? workspace->clientId() : std::nullopt);
}

}  // namespace quorvela::c
