#pragma once
#include "quorvela/platform/Clock.h"

namespace quorvela {

/// The system's wall clock.
class SystemClock : public Clock {
public:
    double now() const override;
};

}  // namespace quorvela
