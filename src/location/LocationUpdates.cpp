#include "location/LocationUpdates.h"

#include <cmath>
#include <cstdlib>
#include <mutex>

#include <fmt/format.h>

#include "location/FacadeLocationDelegate.h"
#include "location/GeoDistance.h"
#include "location/GeoPushTarget.h"
#include "location/LocationHost.h"
#include "model/WorkspaceRecord.h"
#include "platform/LenientNumber.h"
#include "protocol/LocationDataLoader.h"

namespace quorvela {

namespace {

void call(const LocationUpdates::Completion& handler, unsigned long result) {
    if (handler) handler(result);
}

// The operating system's version read as a number ("12", "9.3.1" -> 9.3).
double systemVersionNumber(const Platform& platform) {
    if (!platform.deviceInfo) return 0.0;
    const std::string version = platform.deviceInfo->systemVersion();
    return LenientNumber::leading(version);
}

}  // namespace

bool LocationUpdates::servicesAreEnabled() const {
    const bool locationDisabled = facade_.isGetLocationDisabled();
    auto manager = facade_.quorvelaLM();
    const bool enabled = manager && manager->locationServicesEnabled() && !locationDisabled &&
                         manager->authorizationStatus() == LocationManager::kAuthorizationAlways;
    facade_.debugMessage(fmt::format("Location service OK :{}", enabled ? "YES" : "NO"));
    return enabled;
}

void LocationUpdates::startStandardUpdates() {
    facade_.debugMessage("startStandardUpdates");
    std::weak_ptr<LocationHost> weak = facade_.locationHost();
    facade_.platform()->dispatcher->main([weak] {
        auto facade = weak.lock();
        if (!facade) return;
        auto manager = facade->quorvelaLM();
        if (!manager) return;
        manager->setDelegate(facade->locationUpdates().managerDelegate());
        if (manager->authorizationStatus() == LocationManager::kAuthorizationNotDetermined) {
            manager->requestAlwaysAuthorization();
        }
        if (systemVersionNumber(*facade->platform()) >= 9.0) manager->setAllowsBackgroundLocationUpdates(true);
        manager->setDesiredAccuracy(-1.0);  // the best the platform has
        manager->setDistanceFilter(-1.0);   // every change is delivered
        manager->setPausesLocationUpdatesAutomatically(false);
        if (facade->locationServicesAreEnabled()) manager->startUpdatingLocation();
    });
    facade_.startNetworkChangeWatch();
}

std::shared_ptr<LocationManagerDelegate> LocationUpdates::managerDelegate() {
    std::call_once(delegateOnce_,
                   [this] { delegate_ = std::make_shared<FacadeLocationDelegate>(facade_.locationHost()); });
    return delegate_;
}

void LocationUpdates::forceUpdateLocation() {
    if (!servicesAreEnabled()) return;
    auto manager = facade_.quorvelaLM();
    manager->stopUpdatingLocation();
    manager->startUpdatingLocation();
}

void LocationUpdates::didUpdateLocations(const std::vector<Location>& locations) {
    // An empty delivery has no newest position to record.
    if (locations.empty()) return;
    const Location newest = locations.back();
    const std::uint64_t sequence = ++deliveredSequence_;
    auto facade = facade_.locationHost();
    facade_.platform()->dispatcher->global(
        [facade, newest, sequence] { facade->locationUpdates().recordLocation(newest, sequence); });
}

void LocationUpdates::recordLocation(const Location& newest, std::uint64_t sequence) {
    const std::string task = "Location Update - " + newest.description();
    facade_.beginBackgroundTaskWithIdentifier(task);
    std::optional<double> distance;
    {
        // The read of the previous position and the store of the new one form
        // one step; positions handled out of order do not move it backwards.
        std::lock_guard lock(recordMutex_);
        if (sequence > recordedSequence_) {
            auto previous = facade_.quorvelaLastLocation();
            distance = previous ? GeoDistance::between(previous->latitude, previous->longitude, newest.latitude,
                                                       newest.longitude)
                                : 0.0;
            facade_.setQuorvelaLastLocation(newest);
            recordedSequence_ = sequence;
        }
    }
    if (distance && *distance >= kRefreshDistance) facade_.refreshMonitoredRegionsToClosest();
    facade_.endBackgroundTaskWithIdentifier(task);
}

void LocationUpdates::didChangeAuthorizationStatus(int status) {
    facade_.platform()->systemLog->writeAt(LogLevel::Info,
                                           fmt::format("Change Authorization status, new status: {}", status));
    auto manager = facade_.quorvelaLM();
    if (!manager) return;
    if (status == LocationManager::kAuthorizationAlways && servicesAreEnabled()) {
        manager->startUpdatingLocation();
        facade_.refreshMonitoredRegionsToClosest();
    } else {
        manager->stopUpdatingLocation();
    }
}

void LocationUpdates::sendLastLocation(const std::optional<std::string>& msgID,
                                       const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    auto facade = facade_.locationHost();
    auto loader = LocationDataLoader::create(facade_.platform(), facade_.credentials());
    loader->setDelegate(reportDelegate(facade));
    float latitude = 0.0F;
    float longitude = 0.0F;
    if (auto last = facade_.quorvelaLastLocation()) {
        latitude = static_cast<float>(last->latitude);
        longitude = static_cast<float>(last->longitude);
    }
    loader->sendLocation(msgID, latitude, longitude, workspace, std::move(handler));
}

void LocationUpdates::processGeoPush(const std::optional<std::string>& msgID,
                                     const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    facade_.debugMessage("PROCCESS PUSH");
    // An id that names no circle cannot be answered: no data.
    std::optional<GeoPushTarget> target = msgID ? GeoPushTarget::parse(*msgID) : std::nullopt;
    if (!target) return call(handler, kNoData);
    auto last = facade_.quorvelaLastLocation();
    if (!last || (last->latitude == 0.0 && last->longitude == 0.0)) return call(handler, kNoData);
    const double distance = GeoDistance::between(last->latitude, last->longitude, target->latitude, target->longitude);
    if (!(std::fabs(distance) <= target->radius)) return call(handler, kNewData);
    // Without a workspace nothing can be fetched; the push still needs its answer.
    if (!workspace) return call(handler, kFailed);
    workspace->fetchMessageWithID(target->messageId, std::move(handler));
}

}  // namespace quorvela
