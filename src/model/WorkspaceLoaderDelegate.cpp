#include "model/WorkspaceLoaderDelegate.h"

#include "quorvela/Workspace.h"

namespace quorvela {

WorkspaceLoaderDelegate::WorkspaceLoaderDelegate(std::shared_ptr<Workspace> workspace)
    : workspace_(std::move(workspace)) {}

void WorkspaceLoaderDelegate::SingleMessageRetrieved(const std::shared_ptr<Message>& message) {
    workspace_->SingleMessageRetrieved(message);
}
void WorkspaceLoaderDelegate::SingleMessageRetrievedError(const std::string& error) {
    workspace_->SingleMessageRetrievedError(error);
}
void WorkspaceLoaderDelegate::checkGeoFencesSuccess(const std::vector<std::shared_ptr<Geofence>>& geofences) {
    workspace_->checkGeoFencesSuccess(geofences);
}
void WorkspaceLoaderDelegate::checkGeoFencesReturnedError(const std::string& error) {
    workspace_->checkGeoFencesReturnedError(error);
}
void WorkspaceLoaderDelegate::loadBeaconsSuccess(const std::vector<std::shared_ptr<Beacon>>& beacons) {
    workspace_->loadBeaconsSuccess(beacons);
}
void WorkspaceLoaderDelegate::loadBeaconsReturnedError(const std::string& error) {
    workspace_->loadBeaconsReturnedError(error);
}

}  // namespace quorvela
