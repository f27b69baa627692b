#include "DemoStartChapter.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "DemoContext.h"
#include "DemoWorld.h"
#include "model/WorkspaceRecord.h"

namespace quorvela::host {

namespace {

std::string text(std::string_view view) { return std::string(view); }

bool contains(const std::vector<std::string>& list, std::string_view item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

}  // namespace

void DemoStartChapter::play(DemoContext& demo) {
    auto& story = demo.story;
    auto& probe = demo.probe;
    story.chapter("Start-up: configure, register, get ready");

    Quorvela::configure();
    story.step("configure: \"Quorvela-Info.plist\" read, device identified, INIT sent", [&] {
        if (!probe.stored("configureQuorvela")) return DemoCheck::fail("\"configureQuorvela\" was not stored");
        const auto device = probe.stored("deviceUniqueID");
        if (!device || device->empty()) return DemoCheck::fail("no device identifier stored");
        if (probe.eventCount("INIT") < 1) return DemoCheck::fail("the sandbox received no INIT event");
        return DemoCheck::pass("device " + *device);
    });

    const auto bytes = DemoWorld::pushToken();
    const std::vector<std::uint8_t> token(bytes.begin(), bytes.end());
    const std::string tokenText = Quorvela::NSDataToNSString(token);
    demo.facade->registerDeviceToken(token);
    story.step("push token handed to the library and sent to the service", [&] {
        auto device = probe.device(tokenText);
        if (!device) return DemoCheck::fail("the sandbox has no device with token " + tokenText.substr(0, 8) + "...");
        return DemoCheck::pass("token " + tokenText.substr(0, 8) + "... for device " + device->deviceId);
    });

    demo.facade->registerWithUserID(text(DemoWorld::kUser));
    story.step("user " + text(DemoWorld::kUser) + " registered", [&] {
        auto user = probe.user(text(DemoWorld::kUser));
        if (!user) return DemoCheck::fail("the sandbox has no such user");
        if (!probe.stored("validated")) return DemoCheck::fail("the library did not store \"validated\"");
        return DemoCheck::pass("registerUser answered successful, user validated");
    });

    story.step("start-up: the library calls QuorvelaReady", [&] {
        const int calls = demo.delegate->readyCalls();
        if (calls < 1) return DemoCheck::fail("QuorvelaReady never came");
        return DemoCheck::pass(std::to_string(calls) + " call(s)");
    });

    const std::string shop = text(DemoWorld::kShopId);
    story.step("default workspace \"" + text(DemoWorld::kShopName) + "\" joined and synchronised", [&] {
        if (!probe.subscribed(shop))
            return DemoCheck::fail("not among the subscribed workspaces (" + DemoProbe::join(probe.subscribedIds()) +
                                   ")");
        const auto geofences = probe.geofenceIds(shop);
        const auto beacons = probe.beaconIds(shop);
        if (geofences.size() != 3 || beacons.size() != 1)
            return DemoCheck::fail("geofences: " + DemoProbe::join(geofences) +
                                   "; beacons: " + DemoProbe::join(beacons));
        return DemoCheck::pass("geofences " + DemoProbe::join(geofences) + "; beacon " + DemoProbe::join(beacons));
    });

    const std::string club = text(DemoWorld::kClubId);
    demo.facade->fetchAvailableWorkspacesWithCompletionHandler(demo.completions.handler("available"));
    story.step("available workspaces listed", [&] {
        const auto done = demo.completions.results("available");
        if (done != std::vector<unsigned long>{0}) return DemoCheck::fail(DemoCompletions::describe(done));
        if (!contains(probe.availableIds(), club))
            return DemoCheck::fail("the club is not available (" + DemoProbe::join(probe.availableIds()) + ")");
        return DemoCheck::pass(DemoProbe::join(probe.availableIds()));
    });

    std::shared_ptr<WorkspaceRecord> clubWorkspace;
    for (const auto& workspace : demo.facade->getAvailableWorkspaces())
        if (workspace && workspace->clientId() == club) clubWorkspace = workspace;
    if (clubWorkspace) demo.facade->joinWorkspace(clubWorkspace, demo.completions.handler("join"));
    story.step("joined the \"" + text(DemoWorld::kClubName) + "\" and synchronised its Wi-Fi beacon", [&] {
        if (!clubWorkspace) return DemoCheck::fail("nothing to join: the club was not in the available list");
        const auto done = demo.completions.results("join");
        if (done != std::vector<unsigned long>{0}) return DemoCheck::fail(DemoCompletions::describe(done));
        if (!probe.subscribed(club)) return DemoCheck::fail("the club is not among the subscribed workspaces");
        if (!contains(probe.beaconIds(club), DemoWorld::kWifiBeaconId))
            return DemoCheck::fail("its beacons: " + DemoProbe::join(probe.beaconIds(club)));
        return DemoCheck::pass("beacon " + text(DemoWorld::kWifiBeaconId));
    });

    // A host refreshes its subscribed list now and then; the merge also makes
    // the library the delegate of the workspace just joined.
    demo.facade->fetchSubscribedWorkspacesWithCompletionHandler(demo.completions.handler("subscribed"));
    story.step("subscribed workspaces refreshed", [&] {
        const auto done = demo.completions.results("subscribed");
        if (done != std::vector<unsigned long>{0}) return DemoCheck::fail(DemoCompletions::describe(done));
        const auto ids = probe.subscribedIds();
        if (!contains(ids, shop) || !contains(ids, club)) return DemoCheck::fail(DemoProbe::join(ids));
        return DemoCheck::pass(DemoProbe::join(ids));
    });
}

}  // namespace quorvela::host
