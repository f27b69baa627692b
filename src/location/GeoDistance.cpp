#include "location/GeoDistance.h"

#include <cmath>
#include <limits>

#include <GeographicLib/Geodesic.hpp>

namespace quorvela {

namespace {

bool valid(double latitude, double longitude) {
    return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90.0;
}

}  // namespace

double GeoDistance::between(double latitude1, double longitude1, double latitude2, double longitude2) {
    // GeographicLib rejects latitudes beyond the poles with NaN results, but a
    // NaN input must not reach it at all.
    if (!valid(latitude1, longitude1) || !valid(latitude2, longitude2)) return std::numeric_limits<double>::quiet_NaN();
    double metres = 0.0;
    GeographicLib::Geodesic::WGS84().Inverse(latitude1, longitude1, latitude2, longitude2, metres);
    return metres;
}

}  // namespace quorvela
