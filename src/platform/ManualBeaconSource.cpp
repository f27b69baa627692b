#include "quorvela/platform/ManualBeaconSource.h"

namespace quorvela {

void ManualBeaconSource::start(RangeHandler handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
}

void ManualBeaconSource::stop() {
    std::lock_guard lock(mutex_);
    handler_ = nullptr;
}

bool ManualBeaconSource::enter(const std::string& regionIdentifier) { return report(regionIdentifier, true); }

bool ManualBeaconSource::exit(const std::string& regionIdentifier) { return report(regionIdentifier, false); }

bool ManualBeaconSource::report(const std::string& regionIdentifier, bool inRange) {
    std::lock_guard lock(mutex_);
    if (!handler_) return false;
    RangeHandler handler = handler_;
    handler(regionIdentifier, inRange);
    return true;
}

}  // namespace quorvela
