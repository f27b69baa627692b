#pragma once
// A C handle over the in-memory test platform (fake HTTP, manual location
// and Wi-Fi), and a recorder of every callback it receives.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "c/HandleOpener.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/quorvela_c.h"
#include "support/TestPlatform.h"

namespace quorvela::test {

// Records callbacks; each C function pointer below receives it as user data.
class CallbackLog {
public:
    struct Entry {
        std::string kind;
        std::optional<std::string> text;
        int number = 0;
        void* userData = nullptr;
    };

    void add(Entry entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(std::move(entry));
    }
    std::vector<Entry> of(const std::string& kind) const {
        std::lock_guard lock(mutex_);
        std::vector<Entry> out;
        for (const auto& entry : entries_)
            if (entry.kind == kind) out.push_back(entry);
        return out;
    }

    static void onFetch(void* userData, quorvela_fetch_result_t result) {
        static_cast<CallbackLog*>(userData)->add({"fetch", std::nullopt, result, userData});
    }
    static void onRegistration(void* userData, quorvela_registration_t result) {
        static_cast<CallbackLog*>(userData)->add({"registration", std::nullopt, result, userData});
    }
    static void onRegion(void* userData, const char* regionId, int entered) {
        static_cast<CallbackLog*>(userData)->add({"region", std::string(regionId), entered, userData});
    }
    static void onWifi(void* userData, const char* ssid) {
        static_cast<CallbackLog*>(userData)->add(
            {"wifi", ssid ? std::optional<std::string>(ssid) : std::nullopt, 0, userData});
    }
    static void onLocationRequested(void* userData) {
        static_cast<CallbackLog*>(userData)->add({"location", std::nullopt, 0, userData});
    }
    static void onLog(void* userData, quorvela_log_level_t level, const char* line) {
        static_cast<CallbackLog*>(userData)->add({"log", std::string(line), level, userData});
    }

    quorvela_callbacks_t callbacks() {
        quorvela_callbacks_t callbacks{};
        callbacks.user_data = this;
        callbacks.region_event = &onRegion;
        callbacks.wifi_event = &onWifi;
        callbacks.location_requested = &onLocationRequested;
        callbacks.log_line = &onLog;
        return callbacks;
    }

private:
    mutable std::mutex mutex_;
    std::vector<Entry> entries_;
};

class CHandleFixture : public ::testing::Test {
protected:
    CHandleFixture() {
        writePlist(dir, "Quorvela-Info.plist",
                   {{"appName", "demo app"}, {"publicKey", "client-1"}, {"privateKey", "secret"}});
        platform->wifiInfo = wifi;
        platform->networkMonitor = std::make_shared<ManualNetworkMonitor>();
    }
    ~CHandleFixture() override {
        if (handle) quorvela_close(handle, 10000, nullptr);
        platform->dispatcher->waitIdle(std::chrono::seconds(10));
    }

    /// Opens the handle over the test platform; `manual` false: no manual inputs.
    quorvela_handle_t* open(bool manual = true) {
        auto callbacks = log.callbacks();
        handle = c::HandleOpener::open(&callbacks, [this, manual](const std::shared_ptr<c::CallbackBridge>&) {
            c::PlatformSetup::Result result{platform, {}};
            if (manual) result.inputs = {platform->manualLocation(), platform->softwareLocationManager(), wifi};
            return result;
        });
        return handle;
    }
    quorvela_status_t close(std::int64_t timeoutMs = 10000) {
        const auto status = quorvela_close(handle, timeoutMs, nullptr);
        handle = nullptr;
        return status;
    }
    bool flush() { return quorvela_flush(handle, 10000, nullptr) == QUORVELA_OK; }

    TempDir dir;
    std::shared_ptr<Platform> platform = makeTestPlatform(dir);
    std::shared_ptr<ManualWifiInfo> wifi = std::make_shared<ManualWifiInfo>();
    CallbackLog log;
    quorvela_handle_t* handle = nullptr;
};

/// The error text a call stored, freed; "" for none.
inline std::string takeError(char* error) {
    std::string text = error ? error : "";
    quorvela_free(error);
    return text;
}

}  // namespace quorvela::test
