#include "DemoSeed.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "DemoWorld.h"
#include "sandbox/MessageQueue.h"
#include "sandbox/RegionLists.h"
#include "sandbox/Sandbox.h"
#include "sandbox/WorkspaceTable.h"

namespace quorvela::host {

namespace {

using nlohmann::ordered_json;

std::string text(std::string_view view) { return std::string(view); }

ordered_json geofence(const DemoWorld::Place& place) {
    // Without an "ENTER" or "EXIT" event type both crossings count.
    return ordered_json{{"regionId", place.regionId},  {"name", place.name},
                        {"latitude", place.latitude},  {"longitude", place.longitude},
                        {"radius", place.radius},      {"eventType", "ENTER_EXIT"},
                        {"activated", "true"},         {"clientId", DemoWorld::kShopId},
                        {"msgTitle", text(place.name)}};
}

}  // namespace

void DemoSeed::seed() {
    sandbox_.createApplication(text(DemoWorld::kAppName), text(DemoWorld::kPublicId), text(DemoWorld::kPrivateKey),
                               text(DemoWorld::kShopId));
    sandbox::WorkspaceTable workspaces(sandbox_.state());
    // The default workspace signs with the application's own key.
    workspaces.put({text(DemoWorld::kShopId), text(DemoWorld::kShopName), text(DemoWorld::kPrivateKey),
                    "https://shop.example.org/quorvela"});
    workspaces.put({text(DemoWorld::kClubId), text(DemoWorld::kClubName), text(DemoWorld::kClubKey), std::nullopt});

    setGeofences(false);
    setShopBeacons(true);
    const ordered_json clubBeacons = ordered_json::array({ordered_json{{"regionId", DemoWorld::kWifiBeaconId},
                                                                       {"name", "Café Wi-Fi"},
                                                                       {"type", "WIFI_BEACON"},
                                                                       {"uuid", DemoWorld::kWifiSsid},
                                                                       {"eventType", "ENTER_EXIT"},
                                                                       {"clientId", DemoWorld::kClubId}}});
    sandbox::RegionLists(sandbox_.state())
        .set(text(DemoWorld::kClubId), sandbox::RegionLists::Kind::Beacons, clubBeacons.dump());

    queue(text(DemoWorld::kShopId), "m-welcome", "Welcome", "Welcome to the Demo Shop, Ana!");
    queue(text(DemoWorld::kShopId), "m-sale", "Spring sale", "20% off everything until Sunday.");
    queue(text(DemoWorld::kClubId), "m-run", "Saturday run", "We meet at the park gate at 9:00.");
}

std::string DemoSeed::describe() const {
    return fmt::format(
        "application \"{}\", workspaces {} (default) and {}, {} pending messages, {} geofences, "
        "{} beacons",
        DemoWorld::kAppName, DemoWorld::kShopId, DemoWorld::kClubId, pendingCount(), geofenceCount(), beaconCount());
}

void DemoSeed::addMarketGeofence() { setGeofences(true); }

void DemoSeed::removeBakeryBeacon() { setShopBeacons(false); }

void DemoSeed::queueGeoMessage(const std::string& messageId) {
    queue(text(DemoWorld::kClubId), messageId, "Coffee after the run", "Show this message at the café counter.");
}

int DemoSeed::geofenceCount() const {
    int count = 0;
    sandbox::RegionLists lists(sandbox_.state());
    for (const auto& workspace : sandbox::WorkspaceTable(sandbox_.state()).all())
        count += static_cast<int>(
            ordered_json::parse(lists.get(workspace.clientId, sandbox::RegionLists::Kind::Geofences)).size());
    return count;
}

int DemoSeed::beaconCount() const {
    int count = 0;
    sandbox::RegionLists lists(sandbox_.state());
    for (const auto& workspace : sandbox::WorkspaceTable(sandbox_.state()).all())
        count += static_cast<int>(
            ordered_json::parse(lists.get(workspace.clientId, sandbox::RegionLists::Kind::Beacons)).size());
    return count;
}

int DemoSeed::pendingCount() const { return static_cast<int>(sandbox::MessageQueue(sandbox_.state()).all().size()); }

void DemoSeed::setGeofences(bool withMarket) {
    ordered_json list =
        ordered_json::array({geofence(DemoWorld::kBakery), geofence(DemoWorld::kPark), geofence(DemoWorld::kStation)});
    if (withMarket) list.push_back(geofence(DemoWorld::kMarket));
    sandbox::RegionLists(sandbox_.state())
        .set(text(DemoWorld::kShopId), sandbox::RegionLists::Kind::Geofences, list.dump());
}

void DemoSeed::setShopBeacons(bool withBakeryBeacon) {
    ordered_json list = ordered_json::array();
    if (withBakeryBeacon) {
        list.push_back(ordered_json{{"regionId", DemoWorld::kBeaconId},
                                    {"name", DemoWorld::kBeaconName},
                                    {"type", "BEACON"},
                                    {"uuid", DemoWorld::kBeaconUuid},
                                    {"major", "1"},
                                    {"minor", "7"},
                                    {"eventType", "ENTER_EXIT"},
                                    {"clientId", DemoWorld::kShopId}});
    }
    sandbox::RegionLists(sandbox_.state())
        .set(text(DemoWorld::kShopId), sandbox::RegionLists::Kind::Beacons, list.dump());
}

void DemoSeed::queue(const std::string& clientId, const std::string& id, const std::string& subject,
                     const std::string& body) {
    sandbox::MessageQueue(sandbox_.state())
        .queue(clientId, text(DemoWorld::kUser),
               {{"id", id}, {"type", "TXT_MSG"}, {"from", clientId}, {"subject", subject}, {"text", body}});
}

}  // namespace quorvela::host
