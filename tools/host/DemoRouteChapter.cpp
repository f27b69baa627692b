#include "DemoRouteChapter.h"

#include <chrono>
#include <cmath>

#include <fmt/format.h>

#include "DemoContext.h"
#include "DemoWorld.h"

namespace quorvela::host {

namespace {

using namespace std::chrono_literals;

std::string text(std::string_view view) { return std::string(view); }

// The next fix only after the library has handled this one: a region it
// starts monitoring takes its first state from the following fix.
constexpr auto kFixSettle = 5s;

DemoCheck reportCheck(const DemoProbe& probe, std::string_view regionId, const char* status, const char* kind) {
    auto report = probe.regionReport(text(regionId), status);
    if (!report) return DemoCheck::fail(fmt::format("the sandbox has no {} report for {}", status, regionId));
    if (report->regionType != kind)
        return DemoCheck::fail(fmt::format("reported as {}", report->regionType.value_or("(null)")));
    return DemoCheck::pass(fmt::format("notifyRegionEvent {} {} {} at {},{}", regionId, kind, status, report->latitude,
                                       report->longitude));
}

}  // namespace

void DemoRouteChapter::play(DemoContext& demo) {
    auto& story = demo.story;
    auto& probe = demo.probe;
    story.chapter("A walk down the street: geofences and a Bluetooth beacon");

    story.step("location updates started by the library", [&] {
        if (!demo.locationManager->isUpdatingLocation()) return DemoCheck::fail("the location manager is not updating");
        return DemoCheck::pass(fmt::format("authorization {}", demo.locationManager->authorizationStatus()));
    });

    const auto move = [&](std::size_t index) {
        const auto& fix = DemoWorld::kRoute[index];
        demo.gps->pushPosition(fix.latitude, fix.longitude, 5.0);
        story.settle(kFixSettle);
        return fix;
    };
    const auto positionCheck = [&](const DemoWorld::Fix& fix) {
        return [&demo, fix] {
            auto last = demo.facade->quorvelaLastLocation();
            if (!last) return DemoCheck::fail("the library has no last location");
            if (std::abs(last->latitude - fix.latitude) > 1e-9 || std::abs(last->longitude - fix.longitude) > 1e-9)
                return DemoCheck::fail(
                    fmt::format("the library's last location is {:.6f},{:.6f}", last->latitude, last->longitude));
            return DemoCheck::pass(fmt::format("{:.6f},{:.6f}", fix.latitude, fix.longitude));
        };
    };

    auto fix = move(0);
    story.step(fmt::format("position: {}", fix.label), positionCheck(fix));
    fix = move(1);
    story.step(fmt::format("position: {}; the nearest regions are monitored", fix.label), [&] {
        for (auto id : {DemoWorld::kBakery.regionId, DemoWorld::kPark.regionId, DemoWorld::kBeaconId})
            if (!probe.isMonitored(text(id)))
                return DemoCheck::fail(
                    fmt::format("{} is not monitored (monitored: {})", id, DemoProbe::join(probe.monitored())));
        return DemoCheck::pass(DemoProbe::join(probe.monitored()));
    });
    fix = move(2);
    story.step(fmt::format("position: {}", fix.label), positionCheck(fix));

    move(DemoWorld::kBakeryFix);
    story.step("walked into the Corner Bakery: geofence entry reported",
               [&] { return reportCheck(probe, DemoWorld::kBakery.regionId, "ENTER", "GEOFENCE"); });
    demo.beacons->enter(text(DemoWorld::kBeaconId));
    story.step("the bakery's Bluetooth beacon in range: beacon entry reported",
               [&] { return reportCheck(probe, DemoWorld::kBeaconId, "ENTER", "BEACON"); });
    story.settle(kFixSettle);

    demo.beacons->exit(text(DemoWorld::kBeaconId));
    move(DemoWorld::kAfterBakeryFix);
    story.step("left the bakery: beacon exit reported",
               [&] { return reportCheck(probe, DemoWorld::kBeaconId, "EXIT", "BEACON"); });
    story.step("left the bakery: geofence exit reported",
               [&] { return reportCheck(probe, DemoWorld::kBakery.regionId, "EXIT", "GEOFENCE"); });

    move(DemoWorld::kParkFix);
    story.step("walked into the City Park: geofence entry reported",
               [&] { return reportCheck(probe, DemoWorld::kPark.regionId, "ENTER", "GEOFENCE"); });
    move(DemoWorld::kAfterParkFix);
    story.step("left the park: geofence exit reported",
               [&] { return reportCheck(probe, DemoWorld::kPark.regionId, "EXIT", "GEOFENCE"); });
}

}  // namespace quorvela::host
