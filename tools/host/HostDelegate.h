#pragma once
// The host's QuorvelaProtocol: prints every call it receives. Which operations
// it implements follows --delegate.

#include <memory>

#include "HostOptions.h"
#include "Output.h"
#include "quorvela/QuorvelaProtocol.h"

namespace quorvela::host {

class HostDelegate : public QuorvelaProtocol {
public:
    HostDelegate(std::shared_ptr<Output> output, HostOptions::DelegateMode mode)
        : output_(std::move(output)), mode_(mode) {}

    bool implements(Operation operation) const override;
    void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) override;
    void pushReceived(std::shared_ptr<Message> message) override;
    void QuorvelaReady() override;

private:
    std::shared_ptr<Output> output_;  // shared: a late call may outlive the script loop
    HostOptions::DelegateMode mode_;
};

}  // namespace quorvela::host
