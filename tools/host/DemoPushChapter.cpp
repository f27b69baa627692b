#include "DemoPushChapter.h"

#include <fmt/format.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "DemoContext.h"
#include "DemoWorld.h"

namespace quorvela::host {

namespace {

using nlohmann::ordered_json;

std::string text(std::string_view view) { return std::string(view); }

std::string payload(const std::string& msgId, const std::string& type, const std::string& subject,
                    std::string_view clientId) {
    return ordered_json{{"aps", {{"content-available", 1}}},
                        {"msgId", msgId},
                        {"type", type},
                        {"subject", subject},
                        {"clientId", clientId}}
        .dump();
}

/// The push reached the device and its handler got exactly one 0; else why not.
std::optional<std::string> handledWithNewData(const DemoContext& demo, const std::string& name,
                                              const std::optional<std::string>& undelivered) {
    if (undelivered) return undelivered;
    const auto done = demo.completions.results(name);
    if (done == std::vector<unsigned long>{0}) return std::nullopt;
    return "completion: " + DemoCompletions::describe(done);
}

}  // namespace

std::optional<std::string> DemoPushChapter::deliver(DemoContext& demo, const std::string& name,
                                                    const std::string& payloadJson) {
    const auto delivery = demo.pushes.send(payloadJson);
    for (const auto& received : delivery.payloads)
        demo.facade->processRemoteNotification(received, demo.completions.handler(name));
    if (delivery.payloads.empty()) return "the push did not reach the device: " + delivery.problem;
    return std::nullopt;
}

void DemoPushChapter::play(DemoContext& demo) {
    auto& story = demo.story;
    auto& probe = demo.probe;
    const std::string shop = text(DemoWorld::kShopId);
    const std::string club = text(DemoWorld::kClubId);
    story.chapter("Pushes from the service");

    story.note("each push goes to the sandbox's push outbox for the device's token; the device collects it");
    auto undelivered = deliver(demo, "TXT_MSG", payload("txt-1", "TXT_MSG", "Spring sale", shop));
    story.step("TXT_MSG: pending messages fetched into both inboxes", [&] {
        if (auto problem = handledWithNewData(demo, "TXT_MSG", undelivered)) return DemoCheck::fail(*problem);
        const auto inShop = probe.inboxSize(shop);
        const auto inClub = probe.inboxSize(club);
        const auto handed = demo.delegate->messagesByWorkspace();
        std::size_t handedCount = 0;
        for (const auto& [client, ids] : handed) handedCount += ids.size();
        const std::string seen = fmt::format("inboxes: {} {}, {} {}; pushReceived: {}", DemoWorld::kShopName, inShop,
                                             DemoWorld::kClubName, inClub, handedCount);
        if (inShop != 2 || inClub != 1 || handedCount < 3) return DemoCheck::fail(seen);
        return DemoCheck::pass("done 0; " + seen);
    });

    undelivered = deliver(demo, "GET_LOC", payload("loc-1", "GET_LOC", "Where are you?", shop));
    story.step("GET_LOC: the last position sent to the service", [&] {
        if (auto problem = handledWithNewData(demo, "GET_LOC", undelivered)) return DemoCheck::fail(*problem);
        auto answer = probe.locationAnswer("loc-1");
        if (!answer) return DemoCheck::fail("the sandbox has no sendLocation for loc-1");
        return DemoCheck::pass(fmt::format("done 0; sendLocation loc-1 at {},{}", answer->latitude, answer->longitude));
    });

    demo.seed.addMarketGeofence();
    undelivered = deliver(demo, "CRT_REGION", payload("crt-1", "CRT_REGION", "Farmers Market", shop));
    story.step("CRT_REGION: the shop's geofences fetched again, the market is new", [&] {
        if (auto problem = handledWithNewData(demo, "CRT_REGION", undelivered)) return DemoCheck::fail(*problem);
        const auto ids = probe.geofenceIds(shop);
        if (std::find(ids.begin(), ids.end(), DemoWorld::kMarket.regionId) == ids.end())
            return DemoCheck::fail("geofences: " + DemoProbe::join(ids));
        return DemoCheck::pass("done 0; geofences " + DemoProbe::join(ids));
    });

    demo.seed.removeBakeryBeacon();
    undelivered = deliver(demo, "DLT_BEACON",
                          payload(text(DemoWorld::kBeaconId), "DLT_BEACON", "Bakery counter", shop));
    story.step("DLT_BEACON: the bakery beacon dropped and no longer monitored", [&] {
        if (auto problem = handledWithNewData(demo, "DLT_BEACON", undelivered)) return DemoCheck::fail(*problem);
        const auto ids = probe.beaconIds(shop);
        if (std::find(ids.begin(), ids.end(), DemoWorld::kBeaconId) != ids.end())
            return DemoCheck::fail("the shop still holds it (beacons: " + DemoProbe::join(ids) + ")");
        if (probe.isMonitored(text(DemoWorld::kBeaconId))) return DemoCheck::fail("the region is still monitored");
        return DemoCheck::pass("done 0; monitored " + DemoProbe::join(probe.monitored()));
    });

    // A message for whoever is within 300 m of where the walk ended.
    const auto& here = DemoWorld::kRoute[DemoWorld::kAfterParkFix];
    demo.seed.queueGeoMessage("m-coffee");
    undelivered = deliver(demo, "GEO_PUSH",
                          payload(fmt::format("GEOPUSH:m-coffee:{}:{}:300", here.latitude, here.longitude), "GEO_PUSH",
                                  "Coffee after the run", club));
    story.step("geo push: the device is inside the circle, the message is fetched", [&] {
        if (auto problem = handledWithNewData(demo, "GEO_PUSH", undelivered)) return DemoCheck::fail(*problem);
        if (!probe.inboxHolds(club, "m-coffee"))
            return DemoCheck::fail(
                fmt::format("m-coffee is not in the club's inbox ({} messages)", probe.inboxSize(club)));
        return DemoCheck::pass(fmt::format("done 0; the club's inbox holds {} messages", probe.inboxSize(club)));
    });
}

}  // namespace quorvela::host
