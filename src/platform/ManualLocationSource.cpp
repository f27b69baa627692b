#include "quorvela/platform/ManualLocationSource.h"

#include <chrono>

namespace quorvela {

ManualLocationSource::ManualLocationSource(std::shared_ptr<Clock> clock) : clock_(std::move(clock)) {}

void ManualLocationSource::start(FixHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void ManualLocationSource::stop() {
    std::lock_guard lock(mutex_);
    handler_ = nullptr;
}

bool ManualLocationSource::push(const Location& fix) {
    std::lock_guard lock(mutex_);
    if (!handler_) return false;
    // A copy: the handler may stop the source (and so drop itself) while running.
    FixHandler handler = handler_;
    handler(fix);
    return true;
}

bool ManualLocationSource::pushPosition(double latitude, double longitude, double horizontalAccuracy) {
    Location fix;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.horizontalAccuracy = horizontalAccuracy;
    if (clock_) {
        fix.timestamp = clock_->now();
    } else {
        using namespace std::chrono;
        fix.timestamp = duration<double>(system_clock::now().time_since_epoch()).count();
    }
    return push(fix);
}

}  // namespace quorvela
