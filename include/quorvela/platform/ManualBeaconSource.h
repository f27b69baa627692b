#pragma once
// Beacon ranges reported by the host (or a test): each call reaches the
// handler on the calling thread before it returns. Thread-safe.

#include <mutex>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/platform/BeaconSource.h"

namespace quorvela {

class QUORVELA_EXPORT ManualBeaconSource : public BeaconSource {
public:
    void start(RangeHandler handler) override;
    void stop() override;

    /// The device came into / went out of range of the beacon region with
    /// this identifier; false when the source is stopped.
    bool enter(const std::string& regionIdentifier);
    bool exit(const std::string& regionIdentifier);

private:
    bool report(const std::string& regionIdentifier, bool inRange);

    // Held while delivering, so that stop() waits for a delivery in progress
    // (recursive: the handler may stop or push from inside).
    std::recursive_mutex mutex_;
    RangeHandler handler_;
};

}  // namespace quorvela
