#include "c/ObservedLocationManager.h"

namespace quorvela::c {

namespace {

// Passes every call on to the library's delegate; region events go to the
// host after the library has seen them.
class RegionEventRelay : public LocationManagerDelegate {
public:
    RegionEventRelay(std::shared_ptr<LocationManagerDelegate> target, std::shared_ptr<CallbackBridge> bridge)
        : target_(std::move(target)), bridge_(std::move(bridge)) {}

    void didUpdateLocations(LocationManager& manager, const std::vector<Location>& locations) override {
        target_->didUpdateLocations(manager, locations);
    }
    void didChangeAuthorizationStatus(LocationManager& manager, int status) override {
        target_->didChangeAuthorizationStatus(manager, status);
    }
    void didEnterRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override {
        target_->didEnterRegion(manager, region);
        if (region) bridge_->regionEvent(region->identifier(), true);
    }
    void didExitRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override {
        target_->didExitRegion(manager, region);
        if (region) bridge_->regionEvent(region->identifier(), false);
    }
    void didStartMonitoringForRegion(LocationManager& manager, const std::shared_ptr<Region>& region) override {
        target_->didStartMonitoringForRegion(manager, region);
    }
    void monitoringDidFailForRegion(LocationManager& manager, const std::shared_ptr<Region>& region,
                                    const std::string& error) override {
        target_->monitoringDidFailForRegion(manager, region, error);
    }

private:
    const std::shared_ptr<LocationManagerDelegate> target_;
    const std::shared_ptr<CallbackBridge> bridge_;
};

}  // namespace

void ObservedLocationManager::setDelegate(std::shared_ptr<LocationManagerDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = delegate;
    inner_->setDelegate(delegate ? std::make_shared<RegionEventRelay>(std::move(delegate), bridge_) : nullptr);
}

std::shared_ptr<LocationManagerDelegate> ObservedLocationManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void ObservedLocationManager::startUpdatingLocation() {
    inner_->startUpdatingLocation();
    bridge_->locationRequested();
}

}  // namespace quorvela::c
