#pragma once
// The default location manager: keeps the monitored regions (at most 20, the
// radius at most the maximum monitoring distance) and the manager's settings.
// It has no source of fixes; deciding entries and exits from fixes belongs to
// the software location manager.

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/platform/Dispatcher.h"
#include "quorvela/platform/LocationManager.h"

namespace quorvela {

class BasicLocationManager : public LocationManager,
                             public std::enable_shared_from_this<BasicLocationManager> {
public:
    /// Callbacks go through `dispatcher`'s main queue when one is given,
    /// otherwise they run on the calling thread (never under a lock).
    /// `grantOnRequest`: a request for authorization is granted at once (a
    /// desktop has nobody to ask).
    explicit BasicLocationManager(std::shared_ptr<Dispatcher> dispatcher = nullptr, bool grantOnRequest = true);

    void setDelegate(std::shared_ptr<LocationManagerDelegate> delegate) override;
    std::shared_ptr<LocationManagerDelegate> delegate() const override;

    int authorizationStatus() const override;
    bool locationServicesEnabled() const override;
    void requestAlwaysAuthorization() override;
    void requestWhenInUseAuthorization() override;

    bool allowsBackgroundLocationUpdates() const override;
    void setAllowsBackgroundLocationUpdates(bool value) override;
    double desiredAccuracy() const override;
    void setDesiredAccuracy(double metres) override;
    double distanceFilter() const override;
    void setDistanceFilter(double metres) override;
    bool pausesLocationUpdatesAutomatically() const override;
    void setPausesLocationUpdatesAutomatically(bool value) override;

    void startUpdatingLocation() override;
    void stopUpdatingLocation() override;
    bool isUpdatingLocation() const override;
    std::optional<Location> location() const override;

    std::vector<std::shared_ptr<Region>> monitoredRegions() const override;
    void startMonitoringForRegion(const std::shared_ptr<Region>& region) override;
    void stopMonitoringForRegion(const std::shared_ptr<Region>& region) override;

    /// Changes the authorization (as the user would in the settings) and tells
    /// the delegate when it changed.
    void setAuthorizationStatus(int status);
    void setLocationServicesEnabled(bool enabled);

    static constexpr const char* kLimitError = "The maximum number of monitored regions (20) is reached";
    static constexpr const char* kRadiusError = "The region's radius exceeds the maximum monitoring distance";

protected:
    /// Records a fix as the current location (for subclasses that have a
    /// source of fixes); does not call the delegate.
    void setLocation(std::optional<Location> location);
    /// Runs `call` with the delegate, on the main queue when there is a
    /// dispatcher.
    void deliver(std::function<void(LocationManagerDelegate&, LocationManager&)> call);

private:
    const std::shared_ptr<Dispatcher> dispatcher_;
    const bool grantOnRequest_;
    mutable std::mutex mutex_;
    std::shared_ptr<LocationManagerDelegate> delegate_;
    int authorizationStatus_ = kAuthorizationNotDetermined;
    bool servicesEnabled_ = true;
    bool allowsBackground_ = false;
    double desiredAccuracy_ = -1.0;  // the platform's "best"
    double distanceFilter_ = -1.0;   // none
    bool pausesAutomatically_ = true;
    bool updating_ = false;
    std::optional<Location> location_;
    std::vector<std::shared_ptr<Region>> monitored_;
};

}  // namespace quorvela
