#include "DemoStory.h"

#include <algorithm>
#include <thread>

namespace quorvela::host {

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Checks that read the sandbox may trail the library's last reply by a moment
// (the server records a request while answering it): look a few more times
// once the library is idle before calling the step failed.
constexpr int kIdleLooks = 4;
constexpr auto kIdlePause = 50ms;
constexpr auto kSettleSlice = 250ms;

}  // namespace

void DemoStory::title(const std::string& text) {
    output_.line(text);
    output_.line(std::string(text.size(), '='));
}

void DemoStory::chapter(const std::string& text) {
    output_.line("");
    output_.line("-- " + text);
}

void DemoStory::note(const std::string& text) { output_.line("           " + text); }

bool DemoStory::step(const std::string& what, const Check& check, std::chrono::milliseconds limit) {
    const auto left = remaining();
    DemoCheck outcome = await(check, std::min(limit, left));
    if (!outcome.ok && left <= std::chrono::milliseconds::zero())
        outcome.detail += " (the demo's time budget was spent)";
    std::string line = outcome.ok ? "  [ok]     " : "  [FAILED] ";
    line += what;
    if (!outcome.detail.empty()) line += outcome.ok ? " (" + outcome.detail + ")" : ": " + outcome.detail;
    output_.line(line);
    std::lock_guard lock(mutex_);
    ++steps_;
    if (!outcome.ok) failures_.push_back(what);
    return outcome.ok;
}

DemoCheck DemoStory::await(const Check& check, std::chrono::milliseconds limit) {
    const auto deadline = Clock::now() + limit;
    int idleLooks = 0;
    for (;;) {
        DemoCheck outcome = check();
        if (outcome.ok || Clock::now() >= deadline) return outcome;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (settle_(std::min<std::chrono::milliseconds>(left, kSettleSlice))) {
            if (++idleLooks > kIdleLooks) return check();
            std::this_thread::sleep_for(kIdlePause);
        } else {
            idleLooks = 0;
        }
    }
}

bool DemoStory::settle(std::chrono::milliseconds limit) { return settle_(std::min(limit, remaining())); }

std::chrono::milliseconds DemoStory::remaining() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
    return std::max(left, std::chrono::milliseconds::zero());
}

int DemoStory::steps() const {
    std::lock_guard lock(mutex_);
    return steps_;
}

std::vector<std::string> DemoStory::failures() const {
    std::lock_guard lock(mutex_);
    return failures_;
}

}  // namespace quorvela::host
