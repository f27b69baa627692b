// Everything a device does at once, against the in-process sandbox over real
// HTTPS (run under ThreadSanitizer): pushes, region events, location fixes,
// network changes, joins, leaves, list fetches and registrations from several
// threads. Afterwards the library goes idle, every completion handler was
// called exactly once, and every inbox holds each message once, in memory and
// in the store alike.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/platform/NetworkMonitor.h"
#include "sandbox/LocationStore.h"
#include "sandbox/RegionLists.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kUser = "alice";
constexpr const char* kDefault = "client-1";
constexpr const char* kClub = "ws-club";
constexpr const char* kCafeSsid = "CafeNet";
constexpr int kRounds = 10;

class CombinedStressTest : public SandboxWorld {
protected:
    void SetUp() override {
        startSandbox();
        sandbox.createApplication(appName, kDefault, privateKey, std::string(kDefault));
        addWorkspace(kDefault, "Main", privateKey);
        addWorkspace(kClub, "Club", "key-club");
        addWorkspace("ws-b", "Bees", "key-b");
        addWorkspace("ws-c", "Cees", "key-c");
        std::string fences;
        for (int i = 0; i < 4; ++i) {
            auto [lat, lon] = eastOfStart(300.0 * i);
            fences += fmt::format(R"({}{{"regionId":"fence-{}","name":"Fence {}","latitude":{},"longitude":{},)"
                                  R"("radius":100,"eventType":"ENTER_EXIT","activated":"true","clientId":"{}"}})",
                                  i ? "," : "", i, i, lat, lon, kDefault);
        }
        sandbox::RegionLists lists(sandbox.state());
        lists.set(kDefault, sandbox::RegionLists::Kind::Geofences, "[" + fences + "]");
        lists.set(kClub, sandbox::RegionLists::Kind::Beacons,
                  fmt::format(R"([{{"regionId":"wifi-cafe","name":"Cafe Wi-Fi","type":"WIFI_BEACON","uuid":"{}",)"
                              R"("eventType":"ENTER_EXIT","clientId":"{}"}}])",
                              kCafeSsid, kClub));
        writeBundle();
        platform = makePlatform();
        platform->networkMonitor = monitor;
        platform->wifiInfo = wifi;
        platform->keyValueStore->set("maxStoredMessages", Value(100000));
        facade = QuorvelaCore::create(platform);
        facade->configureInstance();
        ASSERT_TRUE(facade->flush(30s));
    }

    std::shared_ptr<WorkspaceRecord> available(const std::string& id) {
        for (const auto& w : facade->getAvailableWorkspaces())
            if (w->clientId() == id) return w;
        return nullptr;
    }
    void joinWifi(const char* ssid, const char* bssid) {
        wifi->setCurrentNetwork(Value::Dictionary{{"SSID", Value(ssid)}, {"BSSID", Value(bssid)}});
    }

    std::shared_ptr<ManualNetworkMonitor> monitor = std::make_shared<ManualNetworkMonitor>();
    std::shared_ptr<ManualWifiInfo> wifi = std::make_shared<ManualWifiInfo>();
};

TEST_F(CombinedStressTest, EverythingAtOnceStaysConsistent) {
    // A registered user with the default workspace and the club joined, and
    // location updates running.
    facade->registerWithUserID(std::string(kUser));
    ASSERT_TRUE(facade->flush(60s));
    facade->fetchAvailableWorkspacesWithCompletionHandler(calls.completion("setup fetch"));
    ASSERT_TRUE(facade->flush(60s));
    auto club = available(kClub);
    ASSERT_NE(club, nullptr);
    facade->joinWorkspace(club, calls.completion("setup join"));
    ASSERT_TRUE(facade->flush(60s));
    ASSERT_EQ(calls.take(), (std::vector<std::string>{"setup fetch 0", "setup join 0"}));
    auto& manager = grantedLocationManager(*platform);
    facade->startStandardUpdates();
    ASSERT_TRUE(facade->flush(60s));
    ASSERT_TRUE(manager.isUpdatingLocation());

    std::atomic<int> handedOut{0};
    auto handler = [&](const std::string& name) {
        ++handedOut;
        return calls.completion(name);
    };
    std::mutex queuedMutex;
    std::map<std::string, std::set<std::string>> queued;  // client id -> message ids
    const std::vector<std::string> churn{"ws-b", "ws-c"};
    std::vector<std::thread> threads;
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
                    json{{"msgId", id}, {"type", "TXT_MSG"}, {"clientId", clientId}}.dump(), handler("push " + id));
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
            auto [lat, lon] = eastOfStart(60.0 * (i % 20));
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
            case 0: joinWifi(kCafeSsid, "aa:bb:cc:dd:ee:01"); break;
            case 1: joinWifi("Elsewhere", "aa:bb:cc:dd:ee:02"); break;
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
                facade->joinWorkspace(ws, handler("join " + clientId + " " + std::to_string(i)));
                if (i % 2 == 1) facade->leaveWorkspace(ws, handler("leave " + clientId + " " + std::to_string(i)));
            }
            if (i % 3 == 0)
                facade->fetchAvailableWorkspacesWithCompletionHandler(handler("available " + std::to_string(i)));
        }
    });
    // Subscribed-list fetches (merges) and a registration or two.
    threads.emplace_back([&] {
        for (int i = 0; i < kRounds; ++i) {
            facade->fetchSubscribedWorkspacesWithCompletionHandler(handler("subscribed " + std::to_string(i)));
            if (i == 2 || i == 7) facade->registerWithUserID(std::string(kUser));
            std::this_thread::sleep_for(10ms);
        }
    });
    for (auto& thread : threads) thread.join();
    ASSERT_TRUE(facade->flush(120s)) << "the library did not become idle";

    // Every handler was called exactly once with a fetch result; the sandbox
    // never fails here, so a push either brought its message (or an earlier
    // push did) or found nothing new.
    std::map<std::string, int> called;
    for (const auto& call : calls.take()) {
        const auto space = call.rfind(' ');
        const auto name = call.substr(0, space);
        const unsigned long result = std::stoul(call.substr(space + 1));
        ++called[name];
        EXPECT_LE(result, name.rfind("push ", 0) == 0 ? 1u : 2u) << name;
    }
    ASSERT_GT(handedOut.load(), 0);
    EXPECT_EQ(static_cast<int>(called.size()), handedOut.load()) << "a handler was not called";
    for (const auto& [name, count] : called) EXPECT_EQ(count, 1) << name;

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
    joinWifi(kCafeSsid, "aa:bb:cc:dd:ee:01");
    facade->onNetworkChangeCallback(NetworkMonitor::kNetworkChange);
    ASSERT_TRUE(facade->flush(60s));
    const auto after = reports();
    ASSERT_GE(after.size(), stormReports.size());
    EXPECT_EQ(std::vector<std::string>(after.begin() + static_cast<std::ptrdiff_t>(stormReports.size()), after.end()),
              std::vector<std::string>{"WIFI_BEACON wifi-cafe ENTER"});
}

}  // namespace
}  // namespace quorvela::test
