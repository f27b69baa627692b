#pragma once
// Reads recorded routes into position fixes: GPX documents (track, route and
// way points) and NMEA 0183 logs ($--GGA and $--RMC sentences). Bad input
// never throws; what cannot be read is skipped.

#include <optional>
#include <string_view>
#include <vector>

#include "quorvela/Location.h"

namespace quorvela {

class RouteParser {
public:
    /// GPX when the text's first non-blank character is "<", NMEA otherwise.
    static std::vector<Location> parse(std::string_view text);
    /// Nothing when the document is not well-formed XML (or declares entities).
    static std::optional<std::vector<Location>> parseGpx(std::string_view text);
    static std::vector<Location> parseNmea(std::string_view text);

    /// Seconds since 1970 of an ISO 8601 time ("2023-11-14T22:13:20Z",
    /// fractions and "+01:00" offsets allowed).
    static std::optional<double> parseIsoTime(std::string_view text);
    /// A coordinate in NMEA's "dddmm.mmmm" form with its hemisphere letter.
    static std::optional<double> parseNmeaCoordinate(std::string_view value, std::string_view hemisphere);

    /// Metres per second in a knot.
    static constexpr double kKnot = 1852.0 / 3600.0;
    /// Horizontal accuracy (metres) of a fix whose dilution of precision is
    /// unknown; a known one is multiplied by kAccuracyPerDop.
    static constexpr double kDefaultAccuracy = 5.0;
    static constexpr double kAccuracyPerDop = 5.0;
};

}  // namespace quorvela
