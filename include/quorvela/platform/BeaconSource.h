#pragma once
// Where a software location manager learns that the device came into or went
// out of range of a Bluetooth beacon region (by the region's identifier).

#include <functional>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

class QUORVELA_EXPORT BeaconSource {
public:
    /// `inRange` true: the device came into range; false: it left.
    using RangeHandler = std::function<void(const std::string& regionIdentifier, bool inRange)>;

    virtual ~BeaconSource() = default;
    /// Starts reporting to `handler` (replacing an earlier one).
    virtual void start(RangeHandler handler) = 0;
    /// No report reaches the handler once this returned.
    virtual void stop() = 0;
};

}  // namespace quorvela
