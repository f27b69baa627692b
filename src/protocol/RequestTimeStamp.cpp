#include "protocol/RequestTimeStamp.h"

#include <cmath>

namespace quorvela {

std::int64_t RequestTimeStamp::now(const Platform& platform) {
    return platform.clock ? fromSeconds(platform.clock->now()) : 0;
}

std::int64_t RequestTimeStamp::fromSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) >= 9.2e15) return 0;
    const auto whole = static_cast<std::int64_t>(seconds);
    const auto millis = static_cast<std::int32_t>(std::fmod(seconds, 1.0) * 1000.0);
    return whole * 1000 + millis;
}

}  // namespace quorvela
