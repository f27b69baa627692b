#pragma once
// The location manager of a desktop: fixes come from a LocationSource and
// beacon ranges from a BeaconSource; the manager itself decides region entry
// and exit.
//
// - Every fix becomes the current location at once. The delegate hears of it
//   (didUpdateLocations) only while updates are started, location services
//   are on and the authorization is "always" or "when in use", and only when
//   it moved at least the distance filter from the last delivered one.
// - Circular regions: on every fix (while services are on and the
//   authorization is "always") the manager compares the geodesic distance
//   (WGS84) to each monitored circle's centre with its radius; a fix on the
//   boundary is inside. Entry when a fix falls inside a region the previous
//   fix was outside of, exit the other way; the first fix after monitoring
//   started only sets the state.
// - Beacon regions: the beacon source reports a range by region identifier;
//   a monitored beacon region hears of entry or exit when its state changes.
// - At most 20 regions, radius at most 100 km: beyond that
//   monitoringDidFailForRegion.
// - Fixes with an invalid position (not finite, outside the globe, negative
//   horizontal accuracy) are dropped.
// - Desired accuracy and automatic pausing are kept but change nothing here.
//
// Callbacks run on the dispatcher's main queue, in order, when a dispatcher is
// given; otherwise on the thread that caused them. Thread-safe.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Export.h"
#include "quorvela/platform/BeaconSource.h"
#include "quorvela/platform/Dispatcher.h"
#include "quorvela/platform/LocationManager.h"
#include "quorvela/platform/LocationSource.h"

namespace quorvela {

class QUORVELA_EXPORT SoftwareLocationManager : public LocationManager,
                                                public std::enable_shared_from_this<SoftwareLocationManager> {
public:
    static constexpr const char* kLimitError = "The maximum number of monitored regions (20) is reached";
    static constexpr const char* kRadiusError = "The region's radius exceeds the maximum monitoring distance";
    /// The beacon UUID of a beacon region made up for a report (see reportRegionEvent).
    static constexpr const char* kUnknownBeaconUuid = "00000000-0000-0000-0000-000000000000";

    /// Starts both sources (either may be null). The manager stops them when
    /// it is destroyed.
    static std::shared_ptr<SoftwareLocationManager> create(std::shared_ptr<Dispatcher> dispatcher,
                                                           std::shared_ptr<LocationSource> locationSource,
                                                           std::shared_ptr<BeaconSource> beaconSource = nullptr);
    ~SoftwareLocationManager() override;
    SoftwareLocationManager(const SoftwareLocationManager&) = delete;
    SoftwareLocationManager& operator=(const SoftwareLocationManager&) = delete;

    // LocationManager.
    void setDelegate(std::shared_ptr<LocationManagerDelegate> delegate) override;
    std::shared_ptr<LocationManagerDelegate> delegate() const override;
    int authorizationStatus() const override;
    bool locationServicesEnabled() const override;
    /// An undecided authorization becomes the granted status (see
    /// setGrantedAuthorizationStatus) and the delegate is told.
    void requestAlwaysAuthorization() override;
    /// An undecided authorization becomes "when in use".
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

    // What a device's user (or the host tool) does.

    /// The status an always-authorization request grants (default 3, always).
    void setGrantedAuthorizationStatus(int status);
    int grantedAuthorizationStatus() const;
    /// The user changes the authorization in the settings; the delegate is
    /// told when it changed.
    void setAuthorizationStatus(int status);
    void setAuthorization(Authorization authorization) { setAuthorizationStatus(statusOf(authorization)); }
    void setGrantedAuthorization(Authorization authorization) {
        setGrantedAuthorizationStatus(statusOf(authorization));
    }
    /// The device-wide location services switch.
    void setLocationServicesEnabled(bool enabled);

    /// Reports entry into (`entered`) or exit from the monitored region with
    /// this identifier, whatever its state; when none is monitored, a region
    /// of `kind` with that identifier is made for the report (a circle of
    /// radius 0 at the current location, or a beacon region of
    /// kUnknownBeaconUuid). The region's state follows the report.
    void reportRegionEvent(const std::string& identifier, bool entered, Region::Kind kind);

    /// Takes a fix as the sources do (used by them; hosts may call it too).
    void receiveFix(const Location& fix);
    /// Takes a beacon range as the beacon source does.
    void receiveBeaconRange(const std::string& identifier, bool inRange);

    std::shared_ptr<LocationSource> locationSource() const { return locationSource_; }
    std::shared_ptr<BeaconSource> beaconSource() const { return beaconSource_; }

private:
    enum class RegionState { Unknown, Inside, Outside };
    using Call = std::function<void(LocationManagerDelegate&, LocationManager&)>;

    SoftwareLocationManager(std::shared_ptr<Dispatcher> dispatcher, std::shared_ptr<LocationSource> locationSource,
                            std::shared_ptr<BeaconSource> beaconSource);
    void deliver(Call call);
    void attachSources();
    /// The region events a fix causes; updates the states. Under mutex_.
    std::vector<Call> regionEventsLocked(const Location& fix);
    bool authorizedForUpdatesLocked() const;

    const std::shared_ptr<Dispatcher> dispatcher_;
    const std::shared_ptr<LocationSource> locationSource_;
    const std::shared_ptr<BeaconSource> beaconSource_;

    // Serialises the handling of fixes and ranges so their callbacks stay in
    // order; recursive, as a delegate without dispatcher may call back in.
    std::recursive_mutex eventMutex_;
    mutable std::mutex mutex_;
    std::shared_ptr<LocationManagerDelegate> delegate_;
    int authorizationStatus_ = kAuthorizationNotDetermined;
    int grantedStatus_ = kAuthorizationAlways;
    bool servicesEnabled_ = true;
    bool allowsBackground_ = false;
    double desiredAccuracy_ = -1.0;  // the platform's "best"
    double distanceFilter_ = -1.0;   // none
    bool pausesAutomatically_ = true;
    bool updating_ = false;
    std::optional<Location> location_;
    std::optional<Location> lastDelivered_;
    std::vector<std::shared_ptr<Region>> monitored_;
    std::map<std::string, RegionState> states_;
};

}  // namespace quorvela
