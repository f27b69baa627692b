#pragma once
#include "quorvela/Export.h"

namespace quorvela {

class QUORVELA_EXPORT Clock {
public:
    virtual ~Clock() = default;
    /// Seconds since 1970-01-01 00:00 UTC.
    virtual double now() const = 0;
};

}  // namespace quorvela
