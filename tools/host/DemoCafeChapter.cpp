#include "DemoCafeChapter.h"

#include <fmt/format.h>

#include "DemoContext.h"
#include "DemoWorld.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/platform/NetworkMonitor.h"

namespace quorvela::host {

namespace {

std::string text(std::string_view view) { return std::string(view); }

DemoCheck wifiCheck(const DemoProbe& probe, const char* status, const char* event) {
    if (probe.eventCount(event) < 1) return DemoCheck::fail(fmt::format("the sandbox has no {} event", event));
    auto report = probe.regionReport(text(DemoWorld::kWifiBeaconId), status);
    if (!report)
        return DemoCheck::fail(fmt::format("the sandbox has no {} report for {}", status, DemoWorld::kWifiBeaconId));
    if (report->regionType != "WIFI_BEACON")
        return DemoCheck::fail(fmt::format("reported as {}", report->regionType.value_or("(null)")));
    return DemoCheck::pass(fmt::format("{}; notifyRegionEvent {} WIFI_BEACON {} for {}", event,
                                       DemoWorld::kWifiBeaconId, status, report->clientId));
}

}  // namespace

void DemoCafeChapter::play(DemoContext& demo) {
    auto& story = demo.story;
    auto& probe = demo.probe;
    story.chapter("At the café: Wi-Fi and a reply");

    demo.wifi->setCurrentNetwork(
        Value::Dictionary{{"SSID", text(DemoWorld::kWifiSsid)}, {"BSSID", text(DemoWorld::kWifiBssid)}});
    demo.network->post(NetworkMonitor::kNetworkChange);
    story.step(fmt::format("connected to the Wi-Fi \"{}\": Wi-Fi beacon entry reported", DemoWorld::kWifiSsid),
               [&] { return wifiCheck(probe, "ENTER", "WIFI_BEACON_CONNECT"); });

    demo.wifi->setCurrentNetwork(std::nullopt);
    demo.network->post(NetworkMonitor::kNetworkChange);
    story.step("Wi-Fi disconnected: Wi-Fi beacon exit reported",
               [&] { return wifiCheck(probe, "EXIT", "WIFI_BEACON_DISCONNECT"); });

    auto club = probe.subscribed(text(DemoWorld::kClubId));
    if (club) club->sendMessage(text(DemoWorld::kReplyText));
    story.step(fmt::format("the user replies to the club: \"{}\"", DemoWorld::kReplyText), [&] {
        if (!club) return DemoCheck::fail("the club is not among the subscribed workspaces");
        for (const auto& response : probe.responses()) {
            if (response.clientId == DemoWorld::kClubId && response.text == DemoWorld::kReplyText)
                return DemoCheck::pass(
                    fmt::format("sendResponse from {} arrived, Base64 \"{}\"", response.sender, response.encodedText));
        }
        return DemoCheck::fail("the sandbox received no such response");
    });
}

}  // namespace quorvela::host
