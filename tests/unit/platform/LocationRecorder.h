#pragma once
// A location manager delegate that writes every callback as one line
// ("enter home", "update 1", ...); " off-main" marks a callback that ran
// off the dispatcher's main thread.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "quorvela/platform/Dispatcher.h"
#include "quorvela/platform/LocationManager.h"
#include "quorvela/platform/Region.h"

namespace quorvela::test {

class LocationRecorder : public LocationManagerDelegate {
public:
    /// Without a dispatcher the callbacks run on the calling thread.
    explicit LocationRecorder(std::shared_ptr<Dispatcher> dispatcher = nullptr) : dispatcher_(std::move(dispatcher)) {}

    void didUpdateLocations(LocationManager&, const std::vector<Location>& locations) override {
        add("update " + std::to_string(locations.size()));
    }
    void didChangeAuthorizationStatus(LocationManager&, int status) override { add("auth " + std::to_string(status)); }
    void didEnterRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        add("enter " + region->identifier(), region);
    }
    void didExitRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        add("exit " + region->identifier(), region);
    }
    void didStartMonitoringForRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        add("start " + region->identifier());
    }
    void monitoringDidFailForRegion(LocationManager&, const std::shared_ptr<Region>& region,
                                    const std::string& error) override {
        add("fail " + region->identifier() + ": " + error);
    }

    /// The events since the last call, once the main queue ran dry.
    std::vector<std::string> take() {
        EXPECT_TRUE(!dispatcher_ || dispatcher_->waitIdle(std::chrono::seconds(10)));
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }
    /// The regions of the entries and exits so far, in order.
    std::vector<std::shared_ptr<Region>> regions() {
        std::lock_guard lock(mutex_);
        return regions_;
    }

private:
    void add(std::string line, std::shared_ptr<Region> region = nullptr) {
        if (dispatcher_ && !dispatcher_->isMainThread()) line += " off-main";
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(line));
        if (region) regions_.push_back(std::move(region));
    }

    std::shared_ptr<Dispatcher> dispatcher_;
    std::mutex mutex_;
    std::vector<std::string> events_;
    std::vector<std::shared_ptr<Region>> regions_;
};

}  // namespace quorvela::test
