#include "platform/BasicLocationManager.h"

#include <algorithm>

#include "quorvela/platform/CircularRegion.h"

namespace quorvela {

BasicLocationManager::BasicLocationManager(std::shared_ptr<Dispatcher> dispatcher, bool grantOnRequest)
    : dispatcher_(std::move(dispatcher)), grantOnRequest_(grantOnRequest) {}

void BasicLocationManager::deliver(std::function<void(LocationManagerDelegate&, LocationManager&)> call) {
    auto run = [call = std::move(call)](BasicLocationManager& manager) {
        if (auto listener = manager.delegate()) call(*listener, manager);
    };
    if (!dispatcher_) {
        run(*this);
        return;
    }
    // Keep the manager alive until the callback ran, when it is shared.
    if (auto self = weak_from_this().lock()) {
        dispatcher_->main([self, run] { run(*self); });
    } else {
        dispatcher_->main([this, run] { run(*this); });
    }
}

void BasicLocationManager::setDelegate(std::shared_ptr<LocationManagerDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<LocationManagerDelegate> BasicLocationManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

int BasicLocationManager::authorizationStatus() const {
    std::lock_guard lock(mutex_);
    return authorizationStatus_;
}

bool BasicLocationManager::locationServicesEnabled() const {
    std::lock_guard lock(mutex_);
    return servicesEnabled_;
}

void BasicLocationManager::setLocationServicesEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    servicesEnabled_ = enabled;
}

void BasicLocationManager::setAuthorizationStatus(int status) {
    {
        std::lock_guard lock(mutex_);
        if (authorizationStatus_ == status) return;
        authorizationStatus_ = status;
    }
    deliver([status](LocationManagerDelegate& d, LocationManager& m) { d.didChangeAuthorizationStatus(m, status); });
}

void BasicLocationManager::requestAlwaysAuthorization() {
    // Only an undecided status is asked about, as on the platform.
    if (grantOnRequest_ && authorizationStatus() == kAuthorizationNotDetermined)
        setAuthorizationStatus(kAuthorizationAlways);
}

void BasicLocationManager::requestWhenInUseAuthorization() {
    if (grantOnRequest_ && authorizationStatus() == kAuthorizationNotDetermined)
        setAuthorizationStatus(kAuthorizationWhenInUse);
}

bool BasicLocationManager::allowsBackgroundLocationUpdates() const {
    std::lock_guard lock(mutex_);
    return allowsBackground_;
}
void BasicLocationManager::setAllowsBackgroundLocationUpdates(bool value) {
    std::lock_guard lock(mutex_);
    allowsBackground_ = value;
}
double BasicLocationManager::desiredAccuracy() const {
    std::lock_guard lock(mutex_);
    return desiredAccuracy_;
}
void BasicLocationManager::setDesiredAccuracy(double metres) {
    std::lock_guard lock(mutex_);
    desiredAccuracy_ = metres;
}
double BasicLocationManager::distanceFilter() const {
    std::lock_guard lock(mutex_);
    return distanceFilter_;
}
void BasicLocationManager::setDistanceFilter(double metres) {
    std::lock_guard lock(mutex_);
    distanceFilter_ = metres;
}
bool BasicLocationManager::pausesLocationUpdatesAutomatically() const {
    std::lock_guard lock(mutex_);
    return pausesAutomatically_;
}
void BasicLocationManager::setPausesLocationUpdatesAutomatically(bool value) {
    std::lock_guard lock(mutex_);
    pausesAutomatically_ = value;
}

void BasicLocationManager::startUpdatingLocation() {
    std::lock_guard lock(mutex_);
    updating_ = true;
}
void BasicLocationManager::stopUpdatingLocation() {
    std::lock_guard lock(mutex_);
    updating_ = false;
}
bool BasicLocationManager::isUpdatingLocation() const {
    std::lock_guard lock(mutex_);
    return updating_;
}
std::optional<Location> BasicLocationManager::location() const {
    std::lock_guard lock(mutex_);
    return location_;
}
void BasicLocationManager::setLocation(std::optional<Location> location) {
    std::lock_guard lock(mutex_);
    location_ = std::move(location);
}

std::vector<std::shared_ptr<Region>> BasicLocationManager::monitoredRegions() const {
    std::lock_guard lock(mutex_);
    return monitored_;
}

void BasicLocationManager::startMonitoringForRegion(const std::shared_ptr<Region>& region) {
    if (!region) return;
    const char* error = nullptr;
    if (region->kind() == Region::Kind::Circular &&
        static_cast<const CircularRegion&>(*region).radius() > maximumRegionMonitoringDistance()) {
        error = kRadiusError;
    } else {
        std::lock_guard lock(mutex_);
        auto same = std::find_if(monitored_.begin(), monitored_.end(),
                                 [&](const auto& r) { return r->identifier() == region->identifier(); });
        if (same != monitored_.end()) {
            *same = region;  // a region with a known identifier replaces the old one
        } else if (monitored_.size() >= kMaximumMonitoredRegions) {
            error = kLimitError;
        } else {
            monitored_.push_back(region);
        }
    }
    if (error) {
        std::string text = error;
        deliver([region, text](LocationManagerDelegate& d, LocationManager& m) {
            d.monitoringDidFailForRegion(m, region, text);
        });
    } else {
        deliver([region](LocationManagerDelegate& d, LocationManager& m) { d.didStartMonitoringForRegion(m, region); });
    }
}

void BasicLocationManager::stopMonitoringForRegion(const std::shared_ptr<Region>& region) {
    if (!region) return;
    std::lock_guard lock(mutex_);
    std::erase_if(monitored_, [&](const auto& r) { return r->identifier() == region->identifier(); });
}

}  // namespace quorvela
