#pragma once
// Where a software location manager gets its position fixes from: a device
// (gpsd), a recorded route, or the host typing them in.

#include <functional>

#include "quorvela/Export.h"
#include "quorvela/Location.h"

namespace quorvela {

class QUORVELA_EXPORT LocationSource {
public:
    using FixHandler = std::function<void(const Location&)>;

    virtual ~LocationSource() = default;
    /// Starts delivering fixes to `handler` (replacing an earlier one), each on
    /// the source's own thread or the thread that produced it, one at a time.
    virtual void start(FixHandler handler) = 0;
    /// No fix reaches the handler once this returned (except one already being
    /// delivered when it is called from the handler itself).
    virtual void stop() = 0;
};

}  // namespace quorvela
