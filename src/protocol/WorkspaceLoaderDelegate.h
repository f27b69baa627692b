#pragma once
// Passes one request's callbacks on to the workspace that made it, logging a
// failed list fetch first. The loaders' callbacks do not name the workspace,
// so each request gets one of these; like every delegate it holds the
// workspace strongly until the loader has reported.
#include <memory>

#include "protocol/CheckGeoFencesDelegate.h"
#include "protocol/LoadBeaconsDelegate.h"
#include "protocol/SingleMessageLoaderDelegate.h"

namespace quorvela {

class WorkspaceRecord;

class WorkspaceLoaderDelegate : public SingleMessageLoaderDelegate,
                                public CheckGeoFencesDelegate,
                                public LoadBeaconsDelegate {
public:
    explicit WorkspaceLoaderDelegate(std::shared_ptr<WorkspaceRecord> workspace);

    void SingleMessageRetrieved(const std::shared_ptr<Message>& message) override;
    void SingleMessageRetrievedError(const std::string& error) override;
    void checkGeoFencesSuccess(const std::vector<std::shared_ptr<Geofence>>& geofences) override;
    void checkGeoFencesReturnedError(const std::string& error) override;
    void loadBeaconsSuccess(const std::vector<std::shared_ptr<Beacon>>& beacons) override;
    void loadBeaconsReturnedError(const std::string& error) override;

private:
    const std::shared_ptr<WorkspaceRecord> workspace_;
};

}  // namespace quorvela
