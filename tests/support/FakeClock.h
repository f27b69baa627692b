#pragma once
// A Clock whose time the test sets. Thread-safe.

#include <atomic>

#include "quorvela/platform/Clock.h"

namespace quorvela::test {

class FakeClock : public Clock {
public:
    /// Starts at 2023-11-14 22:13:20 UTC (1 700 000 000 s).
    static constexpr double kStart = 1700000000.0;

    double now() const override { return now_.load(); }
    void set(double secondsSince1970) { now_.store(secondsSince1970); }

private:
    std::atomic<double> now_{kStart};
};

}  // namespace quorvela::test
