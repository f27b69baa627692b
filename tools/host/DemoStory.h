#pragma once
// The demonstration's narrator: prints the chapters and one progress line per
// step, "[ok]" or "[FAILED]", and remembers which steps failed.
//
// A step's check is asked again and again until it holds, until the library
// has gone idle without it holding (nothing is left that could still make it
// hold), or until the step's time limit passes. So a step whose feature is
// missing fails quickly instead of waiting out its limit. The whole story
// has a time budget too: once it is spent, each remaining step is checked
// once, without waiting, so the demonstration always ends.

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Output.h"

namespace quorvela::host {

/// What a step's check found: whether it holds, and a short account of what
/// was seen (printed after the step either way).
struct DemoCheck {
    bool ok = false;
    std::string detail;

    static DemoCheck pass(std::string detail = {}) { return {true, std::move(detail)}; }
    static DemoCheck fail(std::string detail) { return {false, std::move(detail)}; }
};

class DemoStory {
public:
    using Check = std::function<DemoCheck()>;
    /// Waits at most the given time for the library to be idle; true when it is.
    using Settle = std::function<bool(std::chrono::milliseconds)>;

    static constexpr std::chrono::milliseconds kStepLimit{12000};
    static constexpr std::chrono::milliseconds kBudget{45000};

    DemoStory(Output& output, Settle settle, std::chrono::milliseconds budget = kBudget)
        : output_(output), settle_(std::move(settle)), deadline_(std::chrono::steady_clock::now() + budget) {}

    void title(const std::string& text);
    void chapter(const std::string& text);
    void note(const std::string& text);
    /// Waits (bounded) for `check` to hold, prints the step's line and
    /// returns whether it held.
    bool step(const std::string& what, const Check& check, std::chrono::milliseconds limit = kStepLimit);

    /// Waits for the library to be idle, at most `limit` and never past the
    /// budget; true when it is idle.
    bool settle(std::chrono::milliseconds limit);
    /// What is left of the budget (zero once it is spent).
    std::chrono::milliseconds remaining() const;

    int steps() const;
    std::vector<std::string> failures() const;

private:
    DemoCheck await(const Check& check, std::chrono::milliseconds limit);

    Output& output_;
    Settle settle_;
    const std::chrono::steady_clock::time_point deadline_;
    mutable std::mutex mutex_;
    int steps_ = 0;
    std::vector<std::string> failures_;
};

}  // namespace quorvela::host
