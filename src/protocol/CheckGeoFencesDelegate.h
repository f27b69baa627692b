#pragma once
#include <memory>
#include <string>
#include <vector>

namespace quorvela {

class Geofence;

/// The outcome of a CheckGeoFences call: one of the two, once, before the
/// completion handler. Calls run on the thread that handles the reply (a
/// global-queue job, never the main thread); the geofence and beacon
/// loaders of one workspace may call at the same time.
class CheckGeoFencesDelegate {
public:
    virtual ~CheckGeoFencesDelegate() = default;
    virtual void checkGeoFencesSuccess(const std::vector<std::shared_ptr<Geofence>>& geofences) = 0;
    virtual void checkGeoFencesReturnedError(const std::string& error) = 0;
};

}  // namespace quorvela
