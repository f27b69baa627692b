#pragma once
// Fixes handed in by the host (or a test): each push reaches the handler on
// the pushing thread before push returns. Thread-safe.

#include <memory>
#include <mutex>

#include "quorvela/Export.h"
#include "quorvela/platform/Clock.h"
#include "quorvela/platform/LocationSource.h"

namespace quorvela {

class QUORVELA_EXPORT ManualLocationSource : public LocationSource {
public:
    /// `clock` stamps the fixes made by `pushPosition`; none: the system clock.
    explicit ManualLocationSource(std::shared_ptr<Clock> clock = nullptr);

    void start(FixHandler handler) override;
    void stop() override;

    /// Delivers `fix` as it is; false when the source is stopped.
    bool push(const Location& fix);
    /// A fix at that position with the given horizontal accuracy (metres),
    /// stamped now, other values unknown.
    bool pushPosition(double latitude, double longitude, double horizontalAccuracy = 5.0);

private:
    const std::shared_ptr<Clock> clock_;
    // Held while delivering, so that stop() waits for a delivery in progress
    // (recursive: the handler may stop or push from inside).
    std::recursive_mutex mutex_;
    FixHandler handler_;
};

}  // namespace quorvela
