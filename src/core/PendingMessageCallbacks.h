#pragma once
// The facade's side of a pending-message loader: one object per request,
// holding the facade strongly (as a loader holds its delegate) and handing
// both outcomes to the facade. Called on the loader's reply thread.

#include <memory>
#include <string>
#include <vector>

#include "protocol/PendingMessageDataLoaderDelegate.h"

namespace quorvela {

class QuorvelaCore;

class PendingMessageCallbacks : public PendingMessageDataLoaderDelegate {
public:
    explicit PendingMessageCallbacks(std::shared_ptr<QuorvelaCore> facade) : facade_(std::move(facade)) {}
    static std::shared_ptr<PendingMessageCallbacks> create(std::shared_ptr<QuorvelaCore> facade) {
        return std::make_shared<PendingMessageCallbacks>(std::move(facade));
    }

    void pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& messages) override;
    void pendingMessagesRetrievedError(const std::string& error) override;

private:
    const std::shared_ptr<QuorvelaCore> facade_;
};

}  // namespace quorvela
