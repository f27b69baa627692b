#include "protocol/CheckGeoFences.h"

namespace quorvela {

namespace {
constexpr RegionListEndpoint kGeofences{"getGeoFences", "getGeoFences: ", "Geofence", "geoFence", "Geofence Error: "};
}

CheckGeoFences::CheckGeoFences(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : RegionListLoader(kGeofences, std::move(platform), std::move(credentials)) {}

std::shared_ptr<CheckGeoFences> CheckGeoFences::create(std::shared_ptr<Platform> platform,
                                                       ClientCredentials credentials) {
    return std::make_shared<CheckGeoFences>(std::move(platform), std::move(credentials));
}

std::shared_ptr<CheckGeoFencesDelegate> CheckGeoFences::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

void CheckGeoFences::setDelegate(std::shared_ptr<CheckGeoFencesDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

void CheckGeoFences::getUpdatedGeoFencesFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                                      Completion completion) {
    getUpdatedGeoFencesUsingNSXMLParserFromWorkspace(workspace, std::move(completion));
}

void CheckGeoFences::getUpdatedGeoFencesUsingNSXMLParserFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                                                      Completion completion) {
    fetch(workspace, std::move(completion));
}

void CheckGeoFences::deliver(const RecordList& records) {
    if (auto listener = delegate()) listener->checkGeoFencesSuccess(records);
}

void CheckGeoFences::deliverError(const std::string& error) {
    if (auto listener = delegate()) listener->checkGeoFencesReturnedError(error);
}

}  // namespace quorvela
