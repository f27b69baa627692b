#pragma once
#include <cstdint>

#include "quorvela/platform/Platform.h"

namespace quorvela {

/// The time stamp that ends most request paths: whole milliseconds since
/// 1970-01-01 00:00 UTC by the platform's clock.
class RequestTimeStamp {
public:
    static std::int64_t now(const Platform& platform);
    /// Seconds since 1970 as milliseconds; 0 for a clock reading that does
    /// not fit 64 bits.
    static std::int64_t fromSeconds(double seconds);
};

}  // namespace quorvela
