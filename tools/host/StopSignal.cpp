#include "StopSignal.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>

namespace quorvela::host {

namespace {

// Any thread may take the signal (the library's threads do not block it), so
// the handler only sets a flag that the waiting thread looks at.
std::atomic<bool> stopAsked{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void onStop(int) { stopAsked.store(true); }

}  // namespace

void StopSignal::wait() {
    stopAsked = false;
    struct sigaction action {};
    action.sa_handler = onStop;
    sigemptyset(&action.sa_mask);
    struct sigaction oldInt {};
    struct sigaction oldTerm {};
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
    while (!stopAsked.load()) std::this_thread::sleep_for(std::chrono::milliseconds(100));
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
}

}  // namespace quorvela::host
