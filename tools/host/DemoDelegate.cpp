#include "DemoDelegate.h"

#include "model/WorkspaceRecord.h"
#include "quorvela/Message.h"

namespace quorvela::host {

void DemoDelegate::pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) {
    const std::string client = workspace ? workspace->clientId().value_or("(null)") : "(none)";
    const std::string id = message ? message->id().value_or("(null)") : "(none)";
    std::lock_guard lock(mutex_);
    byWorkspace_[client].push_back(id);
}

void DemoDelegate::pushReceived(std::shared_ptr<Message>) { ++messageCalls_; }

void DemoDelegate::QuorvelaReady() { ++ready_; }

std::map<std::string, std::vector<std::string>> DemoDelegate::messagesByWorkspace() const {
    std::lock_guard lock(mutex_);
    return byWorkspace_;
}

}  // namespace quorvela::host
