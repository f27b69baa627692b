#pragma once
#include <optional>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

/// One position fix of the device.
struct QUORVELA_EXPORT Location {
    double latitude = 0.0;            ///< degrees
    double longitude = 0.0;           ///< degrees
    double altitude = 0.0;            ///< metres
    double horizontalAccuracy = 0.0;  ///< metres; negative means the position is invalid
    double verticalAccuracy = -1.0;   ///< metres; negative means the altitude is invalid
    double course = -1.0;             ///< degrees from north; negative when unknown
    double speed = -1.0;              ///< metres per second; negative when unknown
    std::optional<int> floor;         ///< building floor, when known
    double timestamp = 0.0;           ///< seconds since 1970-01-01 00:00 UTC

    /// A readable one-line description ("<+10.48060000,-66.90360000> +/- 5.00m ...").
    std::string description() const;

    bool operator==(const Location&) const = default;
};

}  // namespace quorvela
