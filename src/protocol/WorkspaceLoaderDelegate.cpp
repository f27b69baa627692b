#include "protocol/WorkspaceLoaderDelegate.h"

#include "model/WorkspaceRecord.h"
#include "protocol/EventLogger.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

namespace {

void logLocalized(const WorkspaceRecord& workspace, const std::string& key) {
    if (const auto& platform = workspace.platform()) EventLogger::debugLocalized(*platform, key);
}

}  // namespace

WorkspaceLoaderDelegate::WorkspaceLoaderDelegate(std::shared_ptr<WorkspaceRecord> workspace)
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
    logLocalized(*workspace_, "GeoFences");
    workspace_->checkGeoFencesReturnedError(error);
}
void WorkspaceLoaderDelegate::loadBeaconsSuccess(const std::vector<std::shared_ptr<Beacon>>& beacons) {
    workspace_->loadBeaconsSuccess(beacons);
}
void WorkspaceLoaderDelegate::loadBeaconsReturnedError(const std::string& error) {
    logLocalized(*workspace_, "Beacons");
    workspace_->loadBeaconsReturnedError(error);
}

}  // namespace quorvela
