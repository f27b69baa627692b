#include "c/CallbackBridge.h"

namespace quorvela::c {

namespace {

thread_local int callbackDepth = 0;

quorvela_callbacks_t copyOf(const quorvela_callbacks_t* callbacks) {
    quorvela_callbacks_t copy{};
    if (callbacks) copy = *callbacks;
    return copy;
}

const char* orNull(const std::optional<std::string>& text) { return text ? text->c_str() : nullptr; }

struct DepthScope {
    DepthScope() { ++callbackDepth; }
    ~DepthScope() { --callbackDepth; }
    DepthScope(const DepthScope&) = delete;
    DepthScope& operator=(const DepthScope&) = delete;
};

}  // namespace

CallbackBridge::CallbackBridge(const quorvela_callbacks_t* callbacks) : callbacks_(copyOf(callbacks)) {}

bool CallbackBridge::insideCallback() { return callbackDepth > 0; }

void CallbackBridge::through(const std::function<void()>& call) {
    {
        std::lock_guard lock(mutex_);
        if (closed_) return;
        ++running_;
    }
    {
        DepthScope depth;
        call();
    }
    std::lock_guard lock(mutex_);
    if (--running_ == 0) idle_.notify_all();
}

void CallbackBridge::ready() {
    if (callbacks_.ready) through([this] { callbacks_.ready(callbacks_.user_data); });
}

void CallbackBridge::messageReceived(const std::string& messageJson, const std::optional<std::string>& clientId) {
    if (!callbacks_.message_received) return;
    through([&] { callbacks_.message_received(callbacks_.user_data, messageJson.c_str(), orNull(clientId)); });
}

void CallbackBridge::locationRequested() {
    if (callbacks_.location_requested) through([this] { callbacks_.location_requested(callbacks_.user_data); });
}

void CallbackBridge::regionEvent(const std::string& regionId, bool entered) {
    if (!callbacks_.region_event) return;
    through([&] { callbacks_.region_event(callbacks_.user_data, regionId.c_str(), entered ? 1 : 0); });
}

void CallbackBridge::wifiEvent(const std::optional<std::string>& ssid) {
    if (callbacks_.wifi_event) through([&] { callbacks_.wifi_event(callbacks_.user_data, orNull(ssid)); });
}

void CallbackBridge::logLine(quorvela_log_level_t level, const std::string& line) {
    if (callbacks_.log_line) through([&] { callbacks_.log_line(callbacks_.user_data, level, line.c_str()); });
}

std::uint64_t CallbackBridge::addCompletion(Delivery delivery, int failed) {
    std::lock_guard lock(mutex_);
    const std::uint64_t id = nextCompletion_++;
    pending_.emplace(id, std::make_pair(std::move(delivery), failed));
    return id;
}

void CallbackBridge::complete(std::uint64_t id, int result) {
    Delivery delivery;
    {
        std::lock_guard lock(mutex_);
        auto found = pending_.find(id);
        if (closed_ || found == pending_.end()) return;
        delivery = std::move(found->second.first);
        pending_.erase(found);
        ++running_;
    }
    {
        DepthScope depth;
        delivery(result);
    }
    std::lock_guard lock(mutex_);
    if (--running_ == 0) idle_.notify_all();
}

void CallbackBridge::withdraw(std::uint64_t id) {
    std::lock_guard lock(mutex_);
    pending_.erase(id);
}

void CallbackBridge::closeGate() {
    std::map<std::uint64_t, std::pair<Delivery, int>> left;
    {
        std::unique_lock lock(mutex_);
        closed_ = true;
        idle_.wait(lock, [this] { return running_ == 0; });
        left.swap(pending_);
    }
    DepthScope depth;
    for (auto& [id, entry] : left) entry.first(entry.second);
}

}  // namespace quorvela::c
