#include "location/FacadeLocationDelegate.h"

#include "location/LocationHost.h"

namespace quorvela {

void FacadeLocationDelegate::didUpdateLocations(LocationManager& manager, const std::vector<Location>& locations) {
    if (auto facade = facade_.lock()) facade->locationManagerDidUpdateLocations(manager, locations);
}

void FacadeLocationDelegate::didChangeAuthorizationStatus(LocationManager& manager, int status) {
    if (auto facade = facade_.lock()) facade->locationManagerDidChangeAuthorizationStatus(manager, status);
}

void FacadeLocationDelegate::didEnterRegion(LocationManager& manager, const std::shared_ptr<Region>& region) {
    if (auto facade = facade_.lock()) facade->locationManagerDidEnterRegion(manager, region);
}

void FacadeLocationDelegate::didExitRegion(LocationManager& manager, const std::shared_ptr<Region>& region) {
    if (auto facade = facade_.lock()) facade->locationManagerDidExitRegion(manager, region);
}

void FacadeLocationDelegate::didStartMonitoringForRegion(LocationManager& manager,
                                                         const std::shared_ptr<Region>& region) {
    if (auto facade = facade_.lock()) facade->locationManagerDidStartMonitoringForRegion(manager, region);
}

void FacadeLocationDelegate::monitoringDidFailForRegion(LocationManager& manager, const std::shared_ptr<Region>& region,
                                                        const std::string& error) {
    if (auto facade = facade_.lock()) facade->locationManagerMonitoringDidFailForRegion(manager, region, error);
}

}  // namespace quorvela
