#pragma once
// The facade's seat as the location manager's delegate: forwards each
// callback to the facade's locationManager* operations. Weak, because the
// platform (and with it the manager holding this delegate) belongs to the
// facade; a callback after the facade is gone is dropped.

#include <memory>

#include "quorvela/platform/LocationManager.h"

namespace quorvela {

class LocationHost;

class FacadeLocationDelegate : public LocationManagerDelegate {
public:
    explicit FacadeLocationDelegate(std::weak_ptr<LocationHost> facade) : facade_(std::move(facade)) {}

    void didUpdateLocations(LocationManager& manager, const std::vector<Location>& locations) override;
    void didChangeAuthorizationStatus(LocationManager& manager, int status) override;
    void didEnterRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override;
    void didExitRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override;
    void didStartMonitoringForRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override;
    void monitoringDidFailForRegion(LocationManager& manager, const std::shared_ptr<Region>& region,
                                    const std::string& error) override;

private:
    const std::weak_ptr<LocationHost> facade_;
};

}  // namespace quorvela
