// What the parsed records share: flags read from the parser's text, and the
// event type choosing which notifications a region sends. The lenient
// readings themselves are pinned down in the platform's Value tests.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "model/BeaconRecord.h"
#include "model/GeofenceRecord.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"
#include "unit/model/ModelTestSupport.h"

namespace quorvela {
namespace {

using Text = std::optional<std::string>;

TEST(RecordFields, FlagsAreReadLenientlyFromParserText) {
    GeofenceRecord geofence;
    BeaconRecord beacon;
    auto workspace = WorkspaceRecord::create(test::makeStorePlatform());
    // Each sets the flag to `start`, hands the text to the parser entry and reads the flag back.
    const std::pair<const char*, std::function<bool(const Text&, bool)>> flags[] = {
        {"geofence activated",
         [&](const Text& text, bool start) {
             geofence.setActivated(start);
             geofence.setValue(text, "activated");
             return geofence.activated();
         }},
        {"beacon activated",
         [&](const Text& text, bool start) {
             beacon.setActivated(start);
             beacon.setValue(text, "activated");
             return beacon.activated();
         }},
        {"workspace subscribed",
         [&](const Text& text, bool start) {
             workspace->setSubscribed(start);
             workspace->setValue(text, "subscribed");
             return workspace->subscribed();
         }},
    };
    const std::pair<Text, bool> rows[] = {{"YES", true}, {"true", true}, {"+0012", true},
                                          {" y", true},  {"no", false},  {"0", false},
                                          {"-0", false}, {"", false},    {std::nullopt, false}};
    for (const auto& [name, set] : flags) {
        for (const auto& [text, flag] : rows)
            EXPECT_EQ(set(text, !flag), flag) << name << " <- " << text.value_or("(null)");
    }
}

TEST(RecordFields, EventTypeChoosesTheNotificationsOfEitherRegion) {
    struct Row {
        Text eventType;
        bool entry, exit;
    };
    const Row rows[] = {{"ENTER", true, false}, {"EXIT", false, true}, {"enter", true, true},     {"exit", true, true},
                        {"BOTH", true, true},   {"", true, true},      {std::nullopt, true, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.eventType.value_or("(null)"));
        GeofenceRecord g;
        g.setRegionId(std::string("region-1"));
        g.setGeoFenceId(std::string("other"));
        g.setEventType(row.eventType);
        BeaconRecord b;
        b.setRegionId(std::string("B"));
        b.setUuid(std::string("e2c56db5-dffb-48d2-b060-d0f5a71096e0"));
        b.setEventType(row.eventType);
        const auto circle = g.toCircularRegion();
        const auto beacon = b.toBeaconRegion();
        EXPECT_EQ(circle->identifier(), "region-1");
        EXPECT_EQ(beacon->proximityUUID(), "E2C56DB5-DFFB-48D2-B060-D0F5A71096E0");
        for (const Region* region :
             {static_cast<const Region*>(circle.get()), static_cast<const Region*>(beacon.get())}) {
            EXPECT_EQ(region->notifyOnEntry(), row.entry);
            EXPECT_EQ(region->notifyOnExit(), row.exit);
        }
    }
}

}  // namespace
}  // namespace quorvela
