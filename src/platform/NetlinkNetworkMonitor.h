#pragma once
// The Linux network-change source: a netlink route socket subscribed to link
// and address changes. Every batch of changes read from the socket posts one
// NetworkMonitor::kNetworkChange notification to the observers, on the
// monitor's own watch thread. Wireless-extension chatter on a link (scan
// results and the like) is no configuration change and posts nothing.
//
// The socket belongs to the network namespace of the thread that makes the
// monitor. When it cannot be opened, the monitor logs why and still delivers
// what is posted to it by hand.

#include <atomic>
#include <memory>
#include <thread>

#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/SystemLog.h"

struct nl_sock;

namespace quorvela {

class NetlinkNetworkMonitor : public NetworkMonitor {
public:
    /// Opens the socket and starts the watch thread.
    explicit NetlinkNetworkMonitor(std::shared_ptr<SystemLog> log);
    ~NetlinkNetworkMonitor() override;
    NetlinkNetworkMonitor(const NetlinkNetworkMonitor&) = delete;
    NetlinkNetworkMonitor& operator=(const NetlinkNetworkMonitor&) = delete;

    ObserverId addObserver(const std::optional<std::string>& name, Callback callback) override;
    void removeObserver(ObserverId observer) override;
    void post(const std::string& name) override;

    /// True while the socket is open and watched.
    bool isWatching() const { return watching_.load(); }

private:
    void watch();
    bool readBatch();

    std::shared_ptr<SystemLog> log_;
    ManualNetworkMonitor observers_;
    nl_sock* socket_ = nullptr;
    int wakeFd_ = -1;
    std::atomic<bool> watching_{false};
    std::thread thread_;
};

}  // namespace quorvela
