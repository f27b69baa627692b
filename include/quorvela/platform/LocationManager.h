#pragma once
// The location services port: authorization, continuous position updates and
// region monitoring, with callbacks to one delegate.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Export.h"
#include "quorvela/Location.h"
#include "quorvela/platform/Region.h"

namespace quorvela {

class LocationManager;

/// Receives the manager's callbacks. When the manager was given a dispatcher
/// they run on its main queue, one at a time; otherwise on the thread that
/// caused them. Every operation has an empty default.
class QUORVELA_EXPORT LocationManagerDelegate {
public:
    virtual ~LocationManagerDelegate() = default;
    virtual void didUpdateLocations(LocationManager& /*manager*/, const std::vector<Location>& /*locations*/) {}
    virtual void didChangeAuthorizationStatus(LocationManager& /*manager*/, int /*status*/) {}
    virtual void didEnterRegion(LocationManager& /*manager*/, const std::shared_ptr<Region>& /*region*/) {}
    virtual void didExitRegion(LocationManager& /*manager*/, const std::shared_ptr<Region>& /*region*/) {}
    virtual void didStartMonitoringForRegion(LocationManager& /*manager*/, const std::shared_ptr<Region>& /*region*/) {}
    virtual void monitoringDidFailForRegion(LocationManager& /*manager*/, const std::shared_ptr<Region>& /*region*/,
                                            const std::string& /*error*/) {}
};

/// Safe to use from any thread.
class QUORVELA_EXPORT LocationManager {
public:
    /// Authorization status values (the platform's numbers).
    static constexpr int kAuthorizationNotDetermined = 0;
    static constexpr int kAuthorizationRestricted = 1;
    static constexpr int kAuthorizationDenied = 2;
    static constexpr int kAuthorizationAlways = 3;
    static constexpr int kAuthorizationWhenInUse = 4;

    /// The same values, typed.
    enum class Authorization : int {
        NotDetermined = kAuthorizationNotDetermined,
        Restricted = kAuthorizationRestricted,
        Denied = kAuthorizationDenied,
        Always = kAuthorizationAlways,
        WhenInUse = kAuthorizationWhenInUse,
    };
    static constexpr int statusOf(Authorization authorization) { return static_cast<int>(authorization); }
    /// A status outside the known values reads as NotDetermined.
    static constexpr Authorization authorizationOf(int status) {
        return status >= kAuthorizationNotDetermined && status <= kAuthorizationWhenInUse
                   ? static_cast<Authorization>(status)
                   : Authorization::NotDetermined;
    }
    Authorization authorization() const { return authorizationOf(authorizationStatus()); }

    /// The most regions monitored at once, and the largest radius monitored.
    static constexpr std::size_t kMaximumMonitoredRegions = 20;
    static constexpr double kMaximumRegionMonitoringDistance = 100000.0;

    virtual ~LocationManager() = default;

    virtual void setDelegate(std::shared_ptr<LocationManagerDelegate> delegate) = 0;
    virtual std::shared_ptr<LocationManagerDelegate> delegate() const = 0;

    virtual int authorizationStatus() const = 0;
    virtual bool locationServicesEnabled() const = 0;
    virtual void requestAlwaysAuthorization() = 0;
    virtual void requestWhenInUseAuthorization() = 0;

    virtual bool allowsBackgroundLocationUpdates() const = 0;
    virtual void setAllowsBackgroundLocationUpdates(bool value) = 0;
    /// Metres; negative values are the platform's "best" accuracies.
    virtual double desiredAccuracy() const = 0;
    virtual void setDesiredAccuracy(double metres) = 0;
    /// Metres a fix must move before the next update; negative means none.
    virtual double distanceFilter() const = 0;
    virtual void setDistanceFilter(double metres) = 0;
    virtual bool pausesLocationUpdatesAutomatically() const = 0;
    virtual void setPausesLocationUpdatesAutomatically(bool value) = 0;

    virtual void startUpdatingLocation() = 0;
    virtual void stopUpdatingLocation() = 0;
    virtual bool isUpdatingLocation() const = 0;
    /// The most recent fix, if any.
    virtual std::optional<Location> location() const = 0;

    /// A snapshot of the monitored regions.
    virtual std::vector<std::shared_ptr<Region>> monitoredRegions() const = 0;
    /// Adds the region (replacing a monitored one with the same identifier);
    /// reports didStartMonitoringForRegion or monitoringDidFailForRegion.
    virtual void startMonitoringForRegion(const std::shared_ptr<Region>& region) = 0;
    /// Removes the monitored region with the region's identifier, if any.
    virtual void stopMonitoringForRegion(const std::shared_ptr<Region>& region) = 0;
    virtual double maximumRegionMonitoringDistance() const { return kMaximumRegionMonitoringDistance; }
};

}  // namespace quorvela
