#pragma once
// The circle a geo-targeted push names in its message id:
// "<tag>:<message id>:<latitude>:<longitude>:<radius>[:...]".

#include <optional>
#include <string>

namespace quorvela {

struct GeoPushTarget {
    std::string messageId;
    double latitude = 0.0;
    double longitude = 0.0;
    double radius = 0.0;  ///< metres

    /// Nothing when the id has fewer than five ":"-separated fields. The
    /// numbers are read leniently (`LenientNumber`).
    static std::optional<GeoPushTarget> parse(const std::string& msgID);
};

}  // namespace quorvela
