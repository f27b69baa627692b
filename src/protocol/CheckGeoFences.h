#pragma once
// getGeoFences: the current geofences of one workspace (HttpRequest
// "Geofence", signed with the workspace's key).
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/CheckGeoFencesDelegate.h"
#include "protocol/ClientCredentials.h"
#include "protocol/RequestDelegate.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class Geofence;
class Workspace;

/// Serves one call; always held by std::shared_ptr. The request in flight
/// keeps it alive until the delegate and then the completion handler (0 after
/// a well-formed reply, 2 after any failure) have been called. Set the
/// delegate before starting.
class CheckGeoFences : public RequestDelegate, public std::enable_shared_from_this<CheckGeoFences> {
public:
    using Completion = std::function<void(unsigned long)>;
    using GeofenceList = std::vector<std::shared_ptr<Geofence>>;

    /// `credentials` are the facade's (only its application name is used).
    CheckGeoFences(std::shared_ptr<Platform> platform, ClientCredentials credentials);
    static std::shared_ptr<CheckGeoFences> create(std::shared_ptr<Platform> platform, ClientCredentials credentials);

    void getUpdatedGeoFencesFromWorkspace(const std::shared_ptr<Workspace>& workspace, Completion completion);
    void getUpdatedGeoFencesUsingNSXMLParserFromWorkspace(const std::shared_ptr<Workspace>& workspace,
                                                          Completion completion);

    std::shared_ptr<CheckGeoFencesDelegate> delegate() const;
    void setDelegate(std::shared_ptr<CheckGeoFencesDelegate> delegate);
    Completion completion() const;
    void setCompletion(Completion completion);
    /// The geofences of the last well-formed reply, in document order.
    GeofenceList geofences() const;

    void response(const std::string& body) override;
    void requestError(const RequestError& error) override;

private:
    void fail(const RequestError& error);

    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    mutable std::mutex mutex_;
    std::shared_ptr<CheckGeoFencesDelegate> delegate_;
    Completion completion_;
    GeofenceList geofences_;
};

}  // namespace quorvela
