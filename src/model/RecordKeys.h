#pragma once
// The field names of the stored and parsed geofence and beacon records, in the
// order of their fields; shared by the read-only records and the library's
// mutable ones.

#include <cstddef>
#include <iterator>

namespace quorvela::RecordKeys {

inline constexpr const char* kGeofenceTexts[] = {"regionId", "name",       "type",      "eventType",
                                                 "msgTitle", "msgContent", "appName",   "timezone",
                                                 "update",   "clientId",   "geoFenceId"};
inline constexpr const char* kGeofenceNumbers[] = {"latitude",     "longitude",     "radius",
                                                   "creationTime", "lastEnterTime", "lastExitTime"};
inline constexpr const char* kBeaconTexts[] = {"regionId",   "name",    "type",     "eventType",    "msgTitle",
                                               "msgContent", "appName", "timezone", "update",       "clientId",
                                               "uuid",       "major",   "minor",    "manufacturer", "distanceString"};
static_assert(std::size(kGeofenceTexts) == 11 && std::size(kGeofenceNumbers) == 6 && std::size(kBeaconTexts) == 15);

}  // namespace quorvela::RecordKeys
