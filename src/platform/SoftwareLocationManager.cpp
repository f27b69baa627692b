#include "quorvela/platform/SoftwareLocationManager.h"

#include <GeographicLib/Geodesic.hpp>

#include <algorithm>
#include <cmath>

#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"

namespace quorvela {

namespace {

double distanceMetres(double latitude1, double longitude1, double latitude2, double longitude2) {
    double metres = 0.0;
    GeographicLib::Geodesic::WGS84().Inverse(latitude1, longitude1, latitude2, longitude2, metres);
    return metres;
}

bool usableFix(const Location& fix) {
    return CircularRegion::isValidCentre(fix.latitude, fix.longitude) && std::isfinite(fix.horizontalAccuracy) &&
           fix.horizontalAccuracy >= 0.0;
}

}  // namespace

SoftwareLocationManager::SoftwareLocationManager(std::shared_ptr<Dispatcher> dispatcher,
                                                 std::shared_ptr<LocationSource> locationSource,
                                                 std::shared_ptr<BeaconSource> beaconSource)
    : dispatcher_(std::move(dispatcher)),
      locationSource_(std::move(locationSource)),
      beaconSource_(std::move(beaconSource)) {}

std::shared_ptr<SoftwareLocationManager> SoftwareLocationManager::create(std::shared_ptr<Dispatcher> dispatcher,
                                                                         std::shared_ptr<LocationSource> locationSource,
                                                                         std::shared_ptr<BeaconSource> beaconSource) {
    std::shared_ptr<SoftwareLocationManager> manager(
        new SoftwareLocationManager(std::move(dispatcher), std::move(locationSource), std::move(beaconSource)));
    manager->attachSources();
    return manager;
}

SoftwareLocationManager::~SoftwareLocationManager() {
    if (locationSource_) locationSource_->stop();
    if (beaconSource_) beaconSource_->stop();
}

void SoftwareLocationManager::attachSources() {
    // The sources hold the manager weakly: it owns them.
    std::weak_ptr<SoftwareLocationManager> weak = weak_from_this();
    if (locationSource_) {
        locationSource_->start([weak](const Location& fix) {
            if (auto self = weak.lock()) self->receiveFix(fix);
        });
    }
    if (beaconSource_) {
        beaconSource_->start([weak](const std::string& identifier, bool inRange) {
            if (auto self = weak.lock()) self->receiveBeaconRange(identifier, inRange);
        });
    }
}

void SoftwareLocationManager::deliver(Call call) {
    auto run = [call = std::move(call)](SoftwareLocationManager& manager) {
        if (auto listener = manager.delegate()) call(*listener, manager);
    };
    if (!dispatcher_) {
        run(*this);
        return;
    }
    // Nothing is delivered for a manager already being destroyed.
    if (auto self = weak_from_this().lock()) dispatcher_->main([self, run] { run(*self); });
}

// ---- Settings -------------------------------------------------------------------------

void SoftwareLocationManager::setDelegate(std::shared_ptr<LocationManagerDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::shared_ptr<LocationManagerDelegate> SoftwareLocationManager::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

int SoftwareLocationManager::authorizationStatus() const {
    std::lock_guard lock(mutex_);
    return authorizationStatus_;
}

bool SoftwareLocationManager::locationServicesEnabled() const {
    std::lock_guard lock(mutex_);
    return servicesEnabled_;
}

void SoftwareLocationManager::setLocationServicesEnabled(bool enabled) {
    std::lock_guard lock(mutex_);
    servicesEnabled_ = enabled;
}

void SoftwareLocationManager::setGrantedAuthorizationStatus(int status) {
    std::lock_guard lock(mutex_);
    grantedStatus_ = status;
}

int SoftwareLocationManager::grantedAuthorizationStatus() const {
    std::lock_guard lock(mutex_);
    return grantedStatus_;
}

void SoftwareLocationManager::setAuthorizationStatus(int status) {
    {
        std::lock_guard lock(mutex_);
        if (authorizationStatus_ == status) return;
        authorizationStatus_ = status;
    }
    deliver([status](LocationManagerDelegate& d, LocationManager& m) { d.didChangeAuthorizationStatus(m, status); });
}

void SoftwareLocationManager::requestAlwaysAuthorization() {
    int granted = 0;
    {
        // Only an undecided status is asked about, as on a phone.
        std::lock_guard lock(mutex_);
        if (authorizationStatus_ != kAuthorizationNotDetermined || grantedStatus_ == kAuthorizationNotDetermined)
            return;
        granted = grantedStatus_;
        authorizationStatus_ = granted;
    }
    deliver([granted](LocationManagerDelegate& d, LocationManager& m) { d.didChangeAuthorizationStatus(m, granted); });
}

void SoftwareLocationManager::requestWhenInUseAuthorization() {
    {
        std::lock_guard lock(mutex_);
        if (authorizationStatus_ != kAuthorizationNotDetermined) return;
        authorizationStatus_ = kAuthorizationWhenInUse;
    }
    deliver([](LocationManagerDelegate& d, LocationManager& m) {
        d.didChangeAuthorizationStatus(m, kAuthorizationWhenInUse);
    });
}

bool SoftwareLocationManager::allowsBackgroundLocationUpdates() const {
    std::lock_guard lock(mutex_);
    return allowsBackground_;
}
void SoftwareLocationManager::setAllowsBackgroundLocationUpdates(bool value) {
    std::lock_guard lock(mutex_);
    allowsBackground_ = value;
}
double SoftwareLocationManager::desiredAccuracy() const {
    std::lock_guard lock(mutex_);
    return desiredAccuracy_;
}
void SoftwareLocationManager::setDesiredAccuracy(double metres) {
    std::lock_guard lock(mutex_);
    desiredAccuracy_ = metres;
}
double SoftwareLocationManager::distanceFilter() const {
    std::lock_guard lock(mutex_);
    return distanceFilter_;
}
void SoftwareLocationManager::setDistanceFilter(double metres) {
    std::lock_guard lock(mutex_);
    distanceFilter_ = metres;
}
bool SoftwareLocationManager::pausesLocationUpdatesAutomatically() const {
    std::lock_guard lock(mutex_);
    return pausesAutomatically_;
}
void SoftwareLocationManager::setPausesLocationUpdatesAutomatically(bool value) {
    std::lock_guard lock(mutex_);
    pausesAutomatically_ = value;
}

// ---- Updates ----------------------------------------------------------------------------

void SoftwareLocationManager::startUpdatingLocation() {
    std::lock_guard lock(mutex_);
    if (!updating_) lastDelivered_.reset();  // a restart delivers the next fix whatever the filter
    updating_ = true;
}

void SoftwareLocationManager::stopUpdatingLocation() {
    std::lock_guard lock(mutex_);
    updating_ = false;
}

bool SoftwareLocationManager::isUpdatingLocation() const {
    std::lock_guard lock(mutex_);
    return updating_;
}

std::optional<Location> SoftwareLocationManager::location() const {
    std::lock_guard lock(mutex_);
    return location_;
}

bool SoftwareLocationManager::authorizedForUpdatesLocked() const {
    return servicesEnabled_ &&
           (authorizationStatus_ == kAuthorizationAlways || authorizationStatus_ == kAuthorizationWhenInUse);
}

void SoftwareLocationManager::receiveFix(const Location& fix) {
    if (!usableFix(fix)) return;
    std::lock_guard order(eventMutex_);
    bool update = false;
    std::vector<Call> regionEvents;
    {
        std::lock_guard lock(mutex_);
        location_ = fix;
        if (updating_ && authorizedForUpdatesLocked()) {
            update = distanceFilter_ < 0.0 || !lastDelivered_ ||
                     distanceMetres(lastDelivered_->latitude, lastDelivered_->longitude, fix.latitude, fix.longitude) >=
                         distanceFilter_;
        }
        if (update) lastDelivered_ = fix;
        // Region monitoring needs the "always" authorization, as on a phone.
        if (servicesEnabled_ && authorizationStatus_ == kAuthorizationAlways) regionEvents = regionEventsLocked(fix);
    }
    if (update) {
        std::vector<Location> locations{fix};
        deliver([locations](LocationManagerDelegate& d, LocationManager& m) { d.didUpdateLocations(m, locations); });
    }
    for (auto& call : regionEvents) deliver(std::move(call));
}

std::vector<SoftwareLocationManager::Call> SoftwareLocationManager::regionEventsLocked(const Location& fix) {
    std::vector<Call> events;
    for (const auto& region : monitored_) {
        if (region->kind() != Region::Kind::Circular) continue;
        const auto& circle = static_cast<const CircularRegion&>(*region);
        const bool inside = distanceMetres(circle.latitude(), circle.longitude(), fix.latitude, fix.longitude) <=
                            circle.radius();
        RegionState& state = states_[region->identifier()];
        const RegionState before = state;
        state = inside ? RegionState::Inside : RegionState::Outside;
        if (before == RegionState::Unknown || before == state) continue;  // the first fix only sets the state
        auto shared = region;
        if (inside && region->notifyOnEntry()) {
            events.push_back([shared](LocationManagerDelegate& d, LocationManager& m) { d.didEnterRegion(m, shared); });
        } else if (!inside && region->notifyOnExit()) {
            events.push_back([shared](LocationManagerDelegate& d, LocationManager& m) { d.didExitRegion(m, shared); });
        }
    }
    return events;
}

void SoftwareLocationManager::receiveBeaconRange(const std::string& identifier, bool inRange) {
    std::lock_guard order(eventMutex_);
    std::shared_ptr<Region> region;
    bool report = false;
    {
        std::lock_guard lock(mutex_);
        if (!servicesEnabled_ || authorizationStatus_ != kAuthorizationAlways) return;
        auto found = std::find_if(monitored_.begin(), monitored_.end(), [&](const auto& r) {
            return r->kind() == Region::Kind::Beacon && r->identifier() == identifier;
        });
        if (found == monitored_.end()) return;
        region = *found;
        RegionState& state = states_[identifier];
        const RegionState before = state;
        state = inRange ? RegionState::Inside : RegionState::Outside;
        // Leaving the range of a beacon never seen in range is no exit.
        report = before != state && (inRange || before == RegionState::Inside) &&
                 (inRange ? region->notifyOnEntry() : region->notifyOnExit());
    }
    if (!report) return;
    if (inRange) {
        deliver([region](LocationManagerDelegate& d, LocationManager& m) { d.didEnterRegion(m, region); });
    } else {
        deliver([region](LocationManagerDelegate& d, LocationManager& m) { d.didExitRegion(m, region); });
    }
}

void SoftwareLocationManager::reportRegionEvent(const std::string& identifier, bool entered, Region::Kind kind) {
    std::lock_guard order(eventMutex_);
    std::shared_ptr<Region> region;
    {
        std::lock_guard lock(mutex_);
        auto found = std::find_if(monitored_.begin(), monitored_.end(),
                                  [&](const auto& r) { return r->identifier() == identifier; });
        if (found != monitored_.end()) {
            region = *found;
            states_[identifier] = entered ? RegionState::Inside : RegionState::Outside;
        } else if (kind == Region::Kind::Circular) {
            region = CircularRegion::make(location_ ? location_->latitude : 0.0, location_ ? location_->longitude : 0.0,
                                          0.0, identifier);
        } else {
            region = BeaconRegion::make(kUnknownBeaconUuid, 0, 0, identifier);
        }
    }
    if (!region) return;
    if (entered) {
        deliver([region](LocationManagerDelegate& d, LocationManager& m) { d.didEnterRegion(m, region); });
    } else {
        deliver([region](LocationManagerDelegate& d, LocationManager& m) { d.didExitRegion(m, region); });
    }
}

// ---- Monitoring ---------------------------------------------------------------------------

std::vector<std::shared_ptr<Region>> SoftwareLocationManager::monitoredRegions() const {
    std::lock_guard lock(mutex_);
    return monitored_;
}

void SoftwareLocationManager::startMonitoringForRegion(const std::shared_ptr<Region>& region) {
    if (!region) return;
    std::lock_guard order(eventMutex_);
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
        if (!error) states_.erase(region->identifier());  // a (re)started region starts undecided
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

void SoftwareLocationManager::stopMonitoringForRegion(const std::shared_ptr<Region>& region) {
    if (!region) return;
    std::lock_guard order(eventMutex_);
    std::lock_guard lock(mutex_);
    std::erase_if(monitored_, [&](const auto& r) { return r->identifier() == region->identifier(); });
    states_.erase(region->identifier());
}

}  // namespace quorvela
