#pragma once
// Distances along the earth's surface (WGS84 ellipsoid), in metres.

namespace quorvela {

class GeoDistance {
public:
    /// The geodesic distance between two positions in degrees; NaN when a
    /// position is not a valid one.
    static double between(double latitude1, double longitude1, double latitude2, double longitude2);
};

}  // namespace quorvela
