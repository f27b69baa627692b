#include "quorvela/Location.h"

#include <chrono>
#include <cmath>

#include <date/date.h>
#include <fmt/format.h>

namespace quorvela {

std::string Location::description() const {
    using namespace std::chrono;
    std::string when = "(invalid time)";
    // sys_time arithmetic overflows far outside the years 0..9999.
    if (std::isfinite(timestamp) && std::fabs(timestamp) < 2.5e11) {
        auto moment = sys_seconds(seconds(static_cast<long long>(std::floor(timestamp))));
        when = date::format("%Y-%m-%d %H:%M:%S +0000", moment);
    }
    return fmt::format("<{:+.8f},{:+.8f}> +/- {:.2f}m (speed {:.2f} mps / course {:.2f}) @ {}", latitude, longitude,
                       horizontalAccuracy, speed, course, when);
}

}  // namespace quorvela
