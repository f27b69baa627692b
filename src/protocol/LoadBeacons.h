#pragma once
// getBeacons: the current beacons of one workspace (HttpRequest
// "Beacons", signed with the workspace's key).
#include <memory>
#include <mutex>
#include <string>

#include "protocol/LoadBeaconsDelegate.h"
#include "protocol/RegionListLoader.h"
#include "quorvela/Beacon.h"

namespace quorvela {

/// Serves one call; always held by std::shared_ptr. The request in flight
/// keeps it alive until the delegate and then the completion handler (0 after
/// a well-formed reply, 2 after any failure) have been called. Set the
/// delegate before starting.
class LoadBeacons : public RegionListLoader<Beacon> {
public:
    using BeaconList = RecordList;

    /// `credentials` are the facade's (only its application name is used).
    LoadBeacons(std::shared_ptr<Platform> platform, ClientCredentials credentials);
    static std::shared_ptr<LoadBeacons> create(std::shared_ptr<Platform> platform, ClientCredentials credentials);

    void getUpdatedBeaconsFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);

    std::shared_ptr<LoadBeaconsDelegate> delegate() const;
    void setDelegate(std::shared_ptr<LoadBeaconsDelegate> delegate);
    /// The beacons of the last well-formed reply, in document order.
    BeaconList beacons() const { return records(); }

private:
    void deliver(const RecordList& records) override;
    void deliverError(const std::string& error) override;

    mutable std::mutex delegateMutex_;
    std::shared_ptr<LoadBeaconsDelegate> delegate_;
};

}  // namespace quorvela
