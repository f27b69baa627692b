// Everything a device does at once, against the in-process sandbox over real
// HTTPS (run under ThreadSanitizer): pushes, region events, location fixes,
// network changes, joins, leaves, list fetches and registrations from several
// threads. Afterwards the library goes idle, every completion handler was
// called exactly once, and every inbox holds each message once, in memory and
// in the store alike.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <GeographicLib/Geodesic.hpp>

#include "core/QuorvelaCore.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Message.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/platform/NetworkMonitor.h"
#include "quorvela/platform/SoftwareLocationManager.h"
#include "sandbox/LocationStore.h"
#include "sandbox/MessageQueue.h"
#include "sandbox/RegionLists.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SandboxState.h"
#include "sandbox/WorkspaceTable.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kUser = "alice";
constexpr const char* kDefault = "client-1";
constexpr const char* kClub = "ws-club";
constexpr const char* kCafeSsid = "CafeNet";
constexpr double kStartLat = 52.52;
constexpr double kStartLon = 13.40;
constexpr int kRounds = 10;

std::pair<double, double> east(double metres) {
    double lat = 0.0, lon = 0.0;
    GeographicLib::Geodesic::WGS84().Direct(kStartLat, kStartLon, 90.0, metres, lat, lon);
    return {lat, lon};
}

// Hands out completion handlers and counts the calls of each one.
class HandlerLedger {
public:
    QuorvelaCore::Completion make(std::string name) {
        Entry* entry;
        {
            std::lock_guard lock(mutex_);
            entry = &entries_.emplace_back();
            entry->name = std::move(name);
        }
        return [entry](unsigned long result) {
            entry->result = result;
            ++entry->calls;
        };
    }
    struct Entry {
        std::string name;
        std::atomic<int> calls{0};
        std::atomic<unsigned long> result{99};
    };
    // Stable addresses: handlers keep pointers to their entries.
    std::deque<Entry>& entries() { return entries_; }

private:
    std::mutex mutex_;
    std::deque<Entry> entries_;
};

// Aborts the process when the threads do not finish: a hang shows as a
// failure with stacks instead of a stuck CI job.
class Watchdog {
public:
    explicit Watchdog(std::chrono::seconds limit)
        : thread_([this, limit] {
              std::unique_lock lock(mutex_);
              if (!cv_.wait_for(lock, limit, [this] { return done_; })) {
                  std::fprintf(stderr, "CombinedStressTest: no progress within %llds, deadlock suspected\n",
                               static_cast<long long>(limit.count()));
                  std::abort();
              }
          }) {}
    ~Watchdog() {
        {
            std::lock_guard lock(mutex_);
            done_ = true;
        }
        cv_.notify_all();
        thread_.join();
    }

private:
    std::mutex mutex_;
    std::condition_variable cv_;
    bool done_ = false;
    std::thread thread_;
};

class CombinedStressTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        options.adminApi = false;
        sandbox.start(options);
        sandbox.createApplication("demo app", kDefault, "secret", std::string(kDefault));
        sandbox::WorkspaceTable table(sandbox.state());
        table.put({kDefault, "Main", "secret", std::nullopt});
        table.put({kClub, "Club", "key-club", std::nullopt});
        table.put({"ws-b", "Bees", "key-b", std::nullopt});
        table.put({"ws-c", "Cees", "key-c", std::nullopt});
        json fences = json::array();
        for (int i = 0; i < 4; ++i) {
            auto [lat, lon] = east(300.0 * i);
            fences.push_back({{"regionId", "fence-" + std::to_string(i)},
                              {"name", "Fence " + std::to_string(i)},
                              {"latitude", lat},
                              {"longitude", lon},
                              {"radius", 100},
                              {"eventType", "ENTER_EXIT"},
                              {"activated", "true"},
                              {"clientId", kDefault}});
        }
        sandbox::RegionLists lists(sandbox.state());
        lists.set(kDefault, sandbox::RegionLists::Kind::Geofences, fences.dump());
        lists.set(kClub, sandbox::RegionLists::Kind::Beacons,
                  json::array({{{"regionId", "wifi-cafe"},
                                {"name", "Cafe Wi-Fi"},
                                {"type", "WIFI_BEACON"},
                                {"uuid", kCafeSsid},
                                {"eventType", "ENTER_EXIT"},
                                {"clientId", kClub}}})
                      .dump());
        writePlist(dir, "bundle/Quorvela-Info.plist",
                   {{"appName", "demo app"}, {"publicKey", kDefault}, {"privateKey", "secret"}});

        PlatformOptions platformOptions;
        platformOptions.dataDir = (dir.path() / "data").string();
        platformOptions.bundleDir = (dir.path() / "bundle").string();
        platformOptions.http = sandbox.httpOptions();
        platform = Platform::makeDefault(platformOptions);
        platform->systemLog = std::make_shared<CapturingLog>();
        monitor = std::make_shared<ManualNetworkMonitor>();
        wifi = std::make_shared<ManualWifiInfo>();
        platform->networkMonitor = monitor;
        platform->wifiInfo = wifi;
        platform->keyValueStore->set("deviceUniqueID", Value("device-stress"));
        platform->keyValueStore->set("maxStoredMessages", Value(100000));
        facade = QuorvelaCore::create(platform);
        facade->configureInstance();
        ASSERT_TRUE(facade->flush(30s));
    }
    void TearDown() override {
        if (facade) facade->flush(30s);
    }

    std::shared_ptr<WorkspaceRecord> available(const std::string& clientId) {
        for (const auto& w : facade->getAvailableWorkspaces())
            if (w->clientId() == clientId) return w;
        return nullptr;
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<ManualNetworkMonitor> monitor;
    std::shared_ptr<ManualWifiInfo> wifi;
    std::shared_ptr<QuorvelaCore> facade;
};

TEST_F(CombinedStressTest, EverythingAtOnceStaysConsistent) {
    // A registered user with the default workspace and the club joined, and
    // location updates running.
    facade->registerWithUserID(std::string(kUser));
    ASSERT_TRUE(facade->flush(60s));
    HandlerLedger setupHandlers;
    facade->fetchAvailableWorkspacesWithCompletionHandler(setupHandlers.make("setup fetch"));
    ASSERT_TRUE(facade->flush(60s));
    auto club = available(kClub);
    ASSERT_NE(club, nullptr);
    facade->joinWorkspace(club, setupHandlers.make("setup join"));
    ASSERT_TRUE(facade->flush(60s));
    for (auto& entry : setupHandlers.entries()) {
        ASSERT_EQ(entry.calls.load(), 1) << entry.name;
        ASSERT_EQ(entry.result.load(), 0u) << entry.name;
    }
    auto& manager = softwareLocationManager(*platform);
    manager.setLocationServicesEnabled(true);
    manager.setAuthorizationStatus(LocationManager::kAuthorizationAlways);
    facade->startStandardUpdates();
    ASSERT_TRUE(facade->flush(60s));
    ASSERT_TRUE(manager.isUpdatingLocation());

    HandlerLedger handlers;
    std::mutex queuedMutex;
    std::map<std::string, std::set<std::string>> queued;  // client id -> message ids
    const std::vector<std::string> churn{"ws-b", "ws-c"};
    std::vector<std::thread> threads;
    {
        Watchdog watchdog(300s);

        // Two push threads: a message waits in the sandbox, then its push
        // arrives.
        for (const std::string clientId : {kDefault, kClub}) {
            threads.emplace_back([&, clientId] {
                sandbox::MessageQueue messages(sandbox.state());
                for (int i = 0; i < kRounds; ++i) {
                    const std::string id = clientId + "-m" + std::to_string(i);
                    messages.queue(clientId, kUser, {{"id", id}, {"type", "TXT_MSG"}, {"text", "hello " + id}});
                    {
                        std::lock_guard lock(queuedMutex);
                        queued[clientId].insert(id);
                    }
                    facade->processRemoteNotification(
                        json{{"msgId", id}, {"type", "TXT_MSG"}, {"clientId", clientId}}.dump(),
                        handlers.make("push " + id));
                }
            });
        }
        // Region events, reported by the manager and handed to the facade.
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds * 2; ++i) {
                const std::string fence = "fence-" + std::to_string(i % 4);
                manager.reportRegionEvent(fence, i % 2 == 0, Region::Kind::Circular);
                const auto regions = manager.monitoredRegions();
                if (!regions.empty()) {
                    const auto& region = regions[static_cast<std::size_t>(i) % regions.size()];
                    if (i % 3 == 0) facade->locationManagerDidEnterRegion(manager, region);
                    else facade->locationManagerDidExitRegion(manager, region);
                }
            }
        });
        // Location fixes walking east and back through the geofences.
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds * 3; ++i) {
                auto [lat, lon] = east(60.0 * (i % 20));
                Location fix;
                fix.latitude = lat;
                fix.longitude = lon;
                fix.horizontalAccuracy = 5.0;
                fix.timestamp = 1.8e9 + i;
                manager.receiveFix(fix);
                if (i % 5 == 0) facade->locationManagerDidUpdateLocations(manager, {fix});
                std::this_thread::sleep_for(5ms);
            }
        });
        // Network changes: the café's Wi-Fi, another one, none.
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds * 2; ++i) {
                switch (i % 3) {
                case 0:
                    wifi->setCurrentNetwork(
                        Value::Dictionary{{"SSID", Value(kCafeSsid)}, {"BSSID", Value("aa:bb:cc:dd:ee:01")}});
                    break;
                case 1:
                    wifi->setCurrentNetwork(
                        Value::Dictionary{{"SSID", Value("Elsewhere")}, {"BSSID", Value("aa:bb:cc:dd:ee:02")}});
                    break;
                default: wifi->setCurrentNetwork(std::nullopt); break;
                }
                if (i % 2 == 0) facade->onNetworkChangeCallback(NetworkMonitor::kNetworkChange);
                else monitor->post(NetworkMonitor::kNetworkChange);
                std::this_thread::sleep_for(10ms);
            }
        });
        // Joins and leaves of two more workspaces, with list fetches between.
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                const std::string& clientId = churn[static_cast<std::size_t>(i) % churn.size()];
                if (auto ws = available(clientId)) {
                    facade->joinWorkspace(ws, handlers.make("join " + clientId + " " + std::to_string(i)));
                    if (i % 2 == 1)
                        facade->leaveWorkspace(ws, handlers.make("leave " + clientId + " " + std::to_string(i)));
                }
                if (i % 3 == 0)
                    facade->fetchAvailableWorkspacesWithCompletionHandler(
                        handlers.make("available " + std::to_string(i)));
            }
        });
        // Subscribed-list fetches (merges) and a registration or two.
        threads.emplace_back([&] {
            for (int i = 0; i < kRounds; ++i) {
                facade->fetchSubscribedWorkspacesWithCompletionHandler(
                    handlers.make("subscribed " + std::to_string(i)));
                if (i == 2 || i == 7) facade->registerWithUserID(std::string(kUser));
                std::this_thread::sleep_for(10ms);
            }
        });
        for (auto& thread : threads) thread.join();
        ASSERT_TRUE(facade->flush(120s)) << "the library did not become idle";
    }

    // Every handler was called exactly once with a fetch result.
    ASSERT_FALSE(handlers.entries().empty());
    for (auto& entry : handlers.entries()) {
        EXPECT_EQ(entry.calls.load(), 1) << entry.name;
        EXPECT_LE(entry.result.load(), 2u) << entry.name;
        // The sandbox never fails here: a push either brought its message
        // (or an earlier push did) or found nothing new.
        if (entry.name.rfind("push ", 0) == 0) EXPECT_LE(entry.result.load(), 1u) << entry.name;
    }

    // Each inbox holds every message once, and the store agrees with memory.
    const auto subscribed = facade->getSubscribedWorkspaces();
    std::set<std::string> subscribedIds;
    for (const auto& ws : subscribed) {
        const std::string clientId = ws->clientId().value_or("(null)");
        SCOPED_TRACE("workspace " + clientId);
        EXPECT_TRUE(subscribedIds.insert(clientId).second) << "listed twice";
        std::set<std::string> inMemory;
        for (const auto& message : ws->getMessages()) {
            const std::string id = message->id().value_or("(null)");
            EXPECT_TRUE(inMemory.insert(id).second) << "twice in memory: " << id;
        }
        std::set<std::string> inStore;
        for (const auto& message : ws->loadMessage()) {
            const std::string id = message->id().value_or("(null)");
            EXPECT_TRUE(inStore.insert(id).second) << "twice in the store: " << id;
        }
        EXPECT_EQ(inMemory, inStore);
        auto expected = queued.find(clientId);
        if (expected != queued.end()) EXPECT_EQ(inMemory, expected->second);
    }
    // The two workspaces nobody left are still joined.
    EXPECT_TRUE(subscribedIds.count(kDefault));
    EXPECT_TRUE(subscribedIds.count(kClub));

    // Every kind of work reached the sandbox, with valid signatures.
    std::map<std::string, int> operations;
    for (const auto& request : sandbox.requests()) {
        ++operations[request.operation];
        EXPECT_NE(request.signatureOk, std::optional<bool>(false)) << request.path;
    }
    for (const char* operation :
         {"getPendingMessages", "joinWorkspace", "detachWorkspace", "notifyRegionEvent", "getGeoFences", "getBeacons"})
        EXPECT_GT(operations[operation], 0) << operation;
    auto reports = [&] {
        std::vector<std::string> out;
        for (const auto& report : sandbox::LocationStore(sandbox.state().database()).reports())
            if (report.operation == "notifyRegionEvent")
                out.push_back(report.regionType.value_or("?") + " " + report.region.value_or("?") + " " +
                              report.status.value_or("?"));
        return out;
    };
    const auto stormReports = reports();
    EXPECT_TRUE(std::any_of(stormReports.begin(), stormReports.end(),
                            [](const std::string& r) { return r.rfind("GEOFENCE ", 0) == 0; }));

    // The storm ended on another network: joining the cafe's Wi-Fi now is
    // reported, so the club kept its Wi-Fi beacon through the merges.
    wifi->setCurrentNetwork(Value::Dictionary{{"SSID", Value(kCafeSsid)}, {"BSSID", Value("aa:bb:cc:dd:ee:01")}});
    facade->onNetworkChangeCallback(NetworkMonitor::kNetworkChange);
    ASSERT_TRUE(facade->flush(60s));
    const auto after = reports();
    ASSERT_GE(after.size(), stormReports.size());
    EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<std::ptrdiff_t>(stormReports.size()), after.end()),
              std::vector<std::string>{"WIFI_BEACON wifi-cafe ENTER"});
}

}  // namespace
}  // namespace quorvela::test
