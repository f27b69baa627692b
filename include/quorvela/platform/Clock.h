#pragma once

namespace quorvela {

class Clock {
public:
    virtual ~Clock() = default;
    /// Seconds since 1970-01-01 00:00 UTC.
    virtual double now() const = 0;
};

}  // namespace quorvela
