#pragma once
#include <memory>
#include <string>
#include <vector>

namespace quorvela {

class Beacon;

/// The outcome of a LoadBeacons call: one of the two, once, before the
/// completion handler. Calls run on the thread that handles the reply (a
/// global-queue job, never the main thread); the geofence and beacon
/// loaders of one workspace may call at the same time.
class LoadBeaconsDelegate {
public:
    virtual ~LoadBeaconsDelegate() = default;
    virtual void loadBeaconsSuccess(const std::vector<std::shared_ptr<Beacon>>& beacons) = 0;
    virtual void loadBeaconsReturnedError(const std::string& error) = 0;
};

}  // namespace quorvela
