// One refreshMonitoredRegionsToClosest over a subscribed workspace with 1 000,
// 10 000 and 100 000 geofences (scattered up to ~50 km around the device) and
// 50 Bluetooth beacons: building the entries, ranking the geofences by
// geodesic distance and reconciling the monitored set. The monitored set is
// settled by a first refresh, so each iteration measures a refresh after a
// move that changes nothing; "Moved" alternates between two positions 30 km
// apart, so every iteration also stops and starts regions. "BareDistanceSort"
// is the floor the refresh is held to: the geodesic distance of every point
// (GeographicLib, as the library measures it) and a stable sort by it.
#include <algorithm>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <GeographicLib/Geodesic.hpp>
#include <benchmark/benchmark.h>

#include "core/QuorvelaCore.h"
#include "model/BeaconRecord.h"
#include "model/GeofenceRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/MemorySecureStore.h"
#include "platform/ProcessBackgroundTasks.h"
#include "platform/StderrSystemLog.h"
#include "platform/SystemClock.h"
#include "platform/ThreadDispatcher.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace {

using namespace quorvela;

constexpr double kLat = 48.137;
constexpr double kLon = 11.575;

std::shared_ptr<QuorvelaCore> makeFacade(int geofences) {
    auto platform = std::make_shared<Platform>();
    auto dispatcher = std::make_shared<ThreadDispatcher>();
    platform->dispatcher = dispatcher;
    platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
    platform->secureStore = std::make_shared<MemorySecureStore>();
    platform->backgroundTasks = std::make_shared<ProcessBackgroundTasks>();
    platform->systemLog = std::make_shared<StderrSystemLog>();
    platform->clock = std::make_shared<SystemClock>();
    platform->locationManager = SoftwareLocationManager::create(dispatcher, nullptr, nullptr);
    // Quiet: no debug lines, no analytics requests.
    platform->keyValueStore->set("LoggingDisabled", Value(true));
    platform->keyValueStore->set("analyticsDisabled", Value(true));

    auto facade = QuorvelaCore::create(platform);
    auto workspace = WorkspaceRecord::create(platform);
    workspace->setClientId("ws-bench");
    workspace->setPublicKey("key");
    std::mt19937 random(42);
    std::uniform_real_distribution<double> offset(-0.45, 0.45);  // degrees, about +/-50 km
    WorkspaceRecord::GeofenceList list;
    for (int i = 0; i < geofences; ++i) {
        auto g = GeofenceRecord::create();
        g->setRegionId("g" + std::to_string(i));
        g->setName("Geofence " + std::to_string(i));
        g->setLatitude(kLat + offset(random));
        g->setLongitude(kLon + offset(random));
        g->setRadius(150.0);
        list.push_back(g);
    }
    workspace->setGeofences(list);
    WorkspaceRecord::BeaconList beacons;
    for (int i = 0; i < 50; ++i) {
        auto b = BeaconRecord::create();
        b->setRegionId("b" + std::to_string(i));
        b->setName("Beacon " + std::to_string(i));
        b->setType("BEACON");
        b->setUuid("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0");
        b->setMajor(std::to_string(i));
        b->setMinor("1");
        beacons.push_back(b);
    }
    workspace->setBeacons(beacons);
    facade->workspacesSubscribed()->append(workspace);
    return facade;
}

Location at(double latitude, double longitude) {
    Location fix;
    fix.latitude = latitude;
    fix.longitude = longitude;
    fix.horizontalAccuracy = 5.0;
    return fix;
}

void BM_BareDistanceSort(benchmark::State& state) {
    // The same points as makeFacade's geofences.
    std::mt19937 random(42);
    std::uniform_real_distribution<double> offset(-0.45, 0.45);
    std::vector<std::pair<double, double>> points(static_cast<std::size_t>(state.range(0)));
    for (auto& [lat, lon] : points) {
        lat = kLat + offset(random);
        lon = kLon + offset(random);
    }
    const auto& geodesic = GeographicLib::Geodesic::WGS84();
    std::vector<double> distances(points.size());
    std::vector<std::size_t> order(points.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < points.size(); ++i)
            geodesic.Inverse(points[i].first, points[i].second, kLat, kLon, distances[i]);
        std::iota(order.begin(), order.end(), std::size_t{0});
        std::stable_sort(order.begin(), order.end(),
                         [&distances](std::size_t a, std::size_t b) { return distances[a] < distances[b]; });
        benchmark::DoNotOptimize(order.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BareDistanceSort)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RefreshSettled(benchmark::State& state) {
    auto facade = makeFacade(static_cast<int>(state.range(0)));
    facade->setQuorvelaLastLocation(at(kLat, kLon));
    facade->refreshMonitoredRegionsToClosest();
    for (auto _ : state) facade->refreshMonitoredRegionsToClosest();
    state.SetItemsProcessed(state.iterations() * (state.range(0) + 50));
    facade->flush(std::chrono::seconds(10));
}
BENCHMARK(BM_RefreshSettled)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_RefreshMoved(benchmark::State& state) {
    auto facade = makeFacade(static_cast<int>(state.range(0)));
    bool east = false;
    for (auto _ : state) {
        east = !east;
        facade->setQuorvelaLastLocation(at(kLat, east ? kLon + 0.2 : kLon - 0.2));
        facade->refreshMonitoredRegionsToClosest();
    }
    state.SetItemsProcessed(state.iterations() * (state.range(0) + 50));
    facade->flush(std::chrono::seconds(10));
}
BENCHMARK(BM_RefreshMoved)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
