#pragma once
// getBeacons: the current beacons of one workspace (HttpRequest
// "Beacons", signed with the workspace's key).
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/LoadBeaconsDelegate.h"
#include "protocol/ClientCredentials.h"
#include "protocol/RequestDelegate.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class Beacon;
class Workspace;

/// Serves one call; always held by std::shared_ptr. The request in flight
/// keeps it alive until the delegate and then the completion handler (0 after
/// a well-formed reply, 2 after any failure) have been called. Set the
/// delegate before starting.
class LoadBeacons : public RequestDelegate, public std::enable_shared_from_this<LoadBeacons> {
public:
    using Completion = std::function<void(unsigned long)>;
    using BeaconList = std::vector<std::shared_ptr<Beacon>>;

    /// `credentials` are the facade's (only its application name is used).
    LoadBeacons(std::shared_ptr<Platform> platform, ClientCredentials credentials);
    static std::shared_ptr<LoadBeacons> create(std::shared_ptr<Platform> platform, ClientCredentials credentials);

    void getUpdatedBeaconsFromWorkspace(const std::shared_ptr<Workspace>& workspace, Completion completion);

    std::shared_ptr<LoadBeaconsDelegate> delegate() const;
    void setDelegate(std::shared_ptr<LoadBeaconsDelegate> delegate);
    Completion completion() const;
    void setCompletion(Completion completion);
    /// The beacons of the last well-formed reply, in document order.
    BeaconList beacons() const;

    void response(const std::string& body) override;
    void requestError(const RequestError& error) override;

private:
    void fail(const RequestError& error);

    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    mutable std::mutex mutex_;
    std::shared_ptr<LoadBeaconsDelegate> delegate_;
    Completion completion_;
    BeaconList beacons_;
};

}  // namespace quorvela
