#pragma once
// Replays a recorded route (a GPX or NMEA file) as live fixes: one at a time
// on the source's own thread, spaced as the recording was, divided by the
// chosen speed. Each replayed fix is stamped with the time it is delivered.

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "quorvela/Export.h"
#include "quorvela/platform/LocationSource.h"

namespace quorvela {

class QUORVELA_EXPORT ReplayLocationSource : public LocationSource {
public:
    /// The longest pause between two fixes, whatever the recording says.
    static constexpr double kMaximumPause = 3600.0;
    /// The pause when the recording has no times.
    static constexpr double kDefaultPause = 1.0;

    /// `speed` 2 replays twice as fast as recorded; 0 (or less, or not finite)
    /// replays without pauses.
    explicit ReplayLocationSource(std::vector<Location> route, double speed = 1.0);
    /// Reads the file (GPX when it starts with "<", NMEA otherwise); nothing,
    /// with the reason in `error`, when it cannot be read or holds no fix.
    static std::shared_ptr<ReplayLocationSource> fromFile(const std::string& path, double speed = 1.0,
                                                          std::string* error = nullptr);
    ~ReplayLocationSource() override;
    ReplayLocationSource(const ReplayLocationSource&) = delete;
    ReplayLocationSource& operator=(const ReplayLocationSource&) = delete;

    /// Replays from the first fix (stopping a replay in progress). start and
    /// stop are called from one thread at a time.
    void start(FixHandler handler) override;
    void stop() override;

    /// Waits until every fix was delivered; false at the time-out or when the
    /// replay was stopped before its end.
    bool waitFinished(std::chrono::milliseconds timeout);
    const std::vector<Location>& route() const { return route_; }

private:
    struct Run;

    const std::vector<Location> route_;
    const double speed_;
    std::shared_ptr<Run> run_;
    std::thread thread_;
};

}  // namespace quorvela
