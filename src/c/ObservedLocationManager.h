#pragma once
// A location manager that passes everything on to another one and tells the
// C host when the library starts location updates (it wants positions) and
// when the manager reports a region entry or exit to the library.

#include <memory>
#include <mutex>

#include "c/CallbackBridge.h"
#include "quorvela/platform/LocationManager.h"

namespace quorvela::c {

class ObservedLocationManager : public LocationManager {
public:
    ObservedLocationManager(std::shared_ptr<LocationManager> inner, std::shared_ptr<CallbackBridge> bridge)
        : inner_(std::move(inner)), bridge_(std::move(bridge)) {}

    const std::shared_ptr<LocationManager>& inner() const { return inner_; }

    void setDelegate(std::shared_ptr<LocationManagerDelegate> delegate) override;
    std::shared_ptr<LocationManagerDelegate> delegate() const override;
    int authorizationStatus() const override { return inner_->authorizationStatus(); }
    bool locationServicesEnabled() const override { return inner_->locationServicesEnabled(); }
    void requestAlwaysAuthorization() override { inner_->requestAlwaysAuthorization(); }
    void requestWhenInUseAuthorization() override { inner_->requestWhenInUseAuthorization(); }
    bool allowsBackgroundLocationUpdates() const override { return inner_->allowsBackgroundLocationUpdates(); }
    void setAllowsBackgroundLocationUpdates(bool value) override { inner_->setAllowsBackgroundLocationUpdates(value); }
    double desiredAccuracy() const override { return inner_->desiredAccuracy(); }
    void setDesiredAccuracy(double metres) override { inner_->setDesiredAccuracy(metres); }
    double distanceFilter() const override { return inner_->distanceFilter(); }
    void setDistanceFilter(double metres) override { inner_->setDistanceFilter(metres); }
    bool pausesLocationUpdatesAutomatically() const override { return inner_->pausesLocationUpdatesAutomatically(); }
    void setPausesLocationUpdatesAutomatically(bool value) override {
        inner_->setPausesLocationUpdatesAutomatically(value);
    }
    void startUpdatingLocation() override;
    void stopUpdatingLocation() override { inner_->stopUpdatingLocation(); }
    bool isUpdatingLocation() const override { return inner_->isUpdatingLocation(); }
    std::optional<Location> location() const override { return inner_->location(); }
    std::vector<std::shared_ptr<Region>> monitoredRegions() const override { return inner_->monitoredRegions(); }
    void startMonitoringForRegion(const std::shared_ptr<Region>& region) override {
        inner_->startMonitoringForRegion(region);
    }
    void stopMonitoringForRegion(const std::shared_ptr<Region>& region) override {
        inner_->stopMonitoringForRegion(region);
    }
    double maximumRegionMonitoringDistance() const override { return inner_->maximumRegionMonitoringDistance(); }

private:
    const std::shared_ptr<LocationManager> inner_;
    const std::shared_ptr<CallbackBridge> bridge_;
    mutable std::mutex mutex_;
    // What the library set, handed back by delegate(); the inner manager
    // holds a wrapper around it.
    std::shared_ptr<LocationManagerDelegate> delegate_;
};

}  // namespace quorvela::c
