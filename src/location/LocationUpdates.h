#pragma once
// The facade's idea of where the device is: configures the location manager,
// decides whether location services may be used, records each new position,
// re-selects the monitored regions after a move of 50 m or more, and answers
// the two position-related push commands (a location request and a
// geo-targeted message).
//
// Platform callbacks arrive on the main queue; the position handling runs as
// a job on the global queue. Positions are recorded in the order the platform
// delivered them: a job that finds a newer position already recorded leaves
// it in place.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "location/LocationReportLog.h"
#include "quorvela/FetchResult.h"
#include "quorvela/Location.h"
#include "quorvela/platform/LocationManager.h"

namespace quorvela {

class LocationHost;
class WorkspaceRecord;

class LocationUpdates : public LocationReportLog {
public:
    using Completion = FetchCompletion;

    /// A move of at least this many metres re-selects the monitored regions.
    static constexpr double kRefreshDistance = 50.0;
    static constexpr unsigned long kNewData = 0;
    static constexpr unsigned long kNoData = 1;
    static constexpr unsigned long kFailed = 2;

    explicit LocationUpdates(LocationHost& facade) : LocationReportLog(facade), facade_(facade) {}
    LocationUpdates(const LocationUpdates&) = delete;
    LocationUpdates& operator=(const LocationUpdates&) = delete;

    /// Services on for the device, "locationDisabled" false and authorized
    /// always; writes "Location service OK :YES" (or NO) on every call.
    bool servicesAreEnabled() const;
    /// Configures the manager on the main queue (starting updates when
    /// allowed), then starts the facade's network-change watch.
    void startStandardUpdates();
    /// Stops and restarts updates when allowed, for a fresh position.
    void forceUpdateLocation();
    /// Queues the handling of the newest position and returns.
    void didUpdateLocations(const std::vector<Location>& locations);
    /// The job's body: records `newest` (unless a later delivered position
    /// was recorded already) and refreshes the regions after a 50 m move.
    void recordLocation(const Location& newest, std::uint64_t sequence);
    void didChangeAuthorizationStatus(int status);
    /// Answers a location request with the last position (0, 0 without one).
    void sendLastLocation(const std::optional<std::string>& msgID, const std::shared_ptr<WorkspaceRecord>& workspace,
                          Completion handler);
    /// Fetches the message a geo-targeted push names when the last position
    /// lies in its circle; 1 (no data) without a usable position or with an
    /// id that names no circle, 0 when outside.
    void processGeoPush(const std::optional<std::string>& msgID, const std::shared_ptr<WorkspaceRecord>& workspace,
                        Completion handler);

    /// The delegate the location manager reports to (made once; it holds
    /// the facade weakly).
    std::shared_ptr<LocationManagerDelegate> managerDelegate();

private:
    LocationHost& facade_;
    std::once_flag delegateOnce_;
    std::shared_ptr<LocationManagerDelegate> delegate_;
    // Positions are numbered as the platform delivers them; the last
    // position is only replaced by a later one.
    std::atomic<std::uint64_t> deliveredSequence_{0};
    std::mutex recordMutex_;
    std::uint64_t recordedSequence_ = 0;
};

}  // namespace quorvela
