#pragma once
// getGeoFences: the current geofences of one workspace (HttpRequest
// "Geofence", signed with the workspace's key).
#include <memory>
#include <mutex>
#include <string>

#include "protocol/CheckGeoFencesDelegate.h"
#include "protocol/RegionListLoader.h"
#include "quorvela/Geofence.h"

namespace quorvela {

/// Serves one call; always held by std::shared_ptr. The request in flight
/// keeps it alive until the delegate and then the completion handler (0 after
/// a well-formed reply, 2 after any failure) have been called. Set the
/// delegate before starting.
class CheckGeoFences : public RegionListLoader<Geofence> {
public:
    using GeofenceList = RecordList;

    /// `credentials` are the facade's (only its application name is used).
    CheckGeoFences(std::shared_ptr<Platform> platform, ClientCredentials credentials);
    static std::shared_ptr<CheckGeoFences> create(std::shared_ptr<Platform> platform, ClientCredentials credentials);

    void getUpdatedGeoFencesFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);
    void getUpdatedGeoFencesUsingNSXMLParserFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                                          Completion completion);

    std::shared_ptr<CheckGeoFencesDelegate> delegate() const;
    void setDelegate(std::shared_ptr<CheckGeoFencesDelegate> delegate);
    /// The geofences of the last well-formed reply, in document order.
    GeofenceList geofences() const { return records(); }

private:
    void deliver(const RecordList& records) override;
    void deliverError(const std::string& error) override;

    mutable std::mutex delegateMutex_;
    std::shared_ptr<CheckGeoFencesDelegate> delegate_;
};

}  // namespace quorvela
