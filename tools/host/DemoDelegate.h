#pragma once
// The demonstration host's QuorvelaProtocol: remembers what the library told
// it, for the story's checks. Calls arrive on the library's threads.

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "quorvela/QuorvelaProtocol.h"

namespace quorvela::host {

class DemoDelegate : public QuorvelaProtocol {
public:
    void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) override;
    void pushReceived(std::shared_ptr<Message> message) override;
    void QuorvelaReady() override;

    int readyCalls() const { return ready_.load(); }
    /// Message ids handed over by `pushReceived:fromWorkspace:`, per client id.
    std::map<std::string, std::vector<std::string>> messagesByWorkspace() const;
    /// How many `pushReceived:` calls came.
    int messageCalls() const { return messageCalls_.load(); }

private:
    std::atomic<int> ready_{0};
    std::atomic<int> messageCalls_{0};
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<std::string>> byWorkspace_;
};

}  // namespace quorvela::host
