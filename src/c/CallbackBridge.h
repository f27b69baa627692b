#pragma once
// Carries the library's calls to the C host's function pointers, and makes
// quorvela_close safe: a gate counts the callbacks running; closing shuts the
// gate, waits until none runs and then answers every completion still
// pending with a failure, so each completion is called exactly once and no
// callback of a handle runs after its close returned.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "quorvela/quorvela_c.h"

namespace quorvela::c {

class CallbackBridge {
public:
    explicit CallbackBridge(const quorvela_callbacks_t* callbacks);
    CallbackBridge(const CallbackBridge&) = delete;
    CallbackBridge& operator=(const CallbackBridge&) = delete;

    void ready();
    void messageReceived(const std::string& messageJson, const std::optional<std::string>& clientId);
    void locationRequested();
    void regionEvent(const std::string& regionId, bool entered);
    void wifiEvent(const std::optional<std::string>& ssid);
    void logLine(quorvela_log_level_t level, const std::string& line);

    /// Keeps a completion until `complete` (or `closeGate`) delivers it; the
    /// number names it. `failed` is what closing delivers instead.
    using Delivery = std::function<void(int result)>;
    std::uint64_t addCompletion(Delivery delivery, int failed);
    /// Delivers the completion once; later calls for the same number, and
    /// calls after closing, do nothing.
    void complete(std::uint64_t id, int result);
    /// Forgets the completion without delivering it: the call it was made
    /// for failed, and the caller heard so from its status.
    void withdraw(std::uint64_t id);

    /// Refuses every later callback, waits for the running ones, then
    /// delivers the pending completions with their failure value.
    void closeGate();
    /// True on a thread that is inside one of this library's C callbacks.
    static bool insideCallback();

private:
    // Runs `call` unless the gate is shut; counts it while it runs.
    void through(const std::function<void()>& call);

    const quorvela_callbacks_t callbacks_;
    std::mutex mutex_;
    std::condition_variable idle_;
    bool closed_ = false;
    int running_ = 0;
    std::uint64_t nextCompletion_ = 1;
    std::map<std::uint64_t, std::pair<Delivery, int>> pending_;
};

}  // namespace quorvela::c
