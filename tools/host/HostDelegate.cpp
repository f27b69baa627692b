#include "HostDelegate.h"

#include "JsonText.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Message.h"

namespace quorvela::host {

using Mode = HostOptions::DelegateMode;

bool HostDelegate::implements(Operation operation) const {
    switch (mode_) {
    case Mode::All: return true;
    case Mode::Workspace: return operation != Operation::PushReceived;
    case Mode::Message: return operation != Operation::PushReceivedFromWorkspace;
    case Mode::None: return false;
    }
    return false;
}

void HostDelegate::pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) {
    std::string clientId = workspace ? workspace->clientId().value_or("(null)") : "(null)";
    output_->line("delegate pushReceived:fromWorkspace: " + JsonText::messageText(message) + " " + clientId);
}

void HostDelegate::pushReceived(std::shared_ptr<Message> message) {
    output_->line("delegate pushReceived: " + JsonText::messageText(message));
}

void HostDelegate::QuorvelaReady() { output_->line("delegate QuorvelaReady"); }

}  // namespace quorvela::host
