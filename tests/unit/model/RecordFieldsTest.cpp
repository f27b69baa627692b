// What the records share: flags read from the parser's text, the event type
// choosing which notifications a region sends, when two regions are equal, and
// that a damaged archive reads as nothing stored. The lenient readings
// themselves are pinned down in the platform's Value tests.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "model/BeaconRecord.h"
#include "model/GeofenceRecord.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceRecord.h"
#include "platform/ValueConversions.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
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

// What a region accepts is checked through the records that make them.
TEST(Regions, EqualityNeedsTheSameKindAndValues) {
    const auto uuid = "e2c56db5-dffb-48d2-b060-d0f5a71096e0";
    const auto region = BeaconRegion::make(uuid, 65535, 0, "b");
    ASSERT_TRUE(region);
    EXPECT_TRUE(region->isEqual(*BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 65535, 0, "b")));
    EXPECT_FALSE(region->isEqual(*BeaconRegion::make(uuid, 65535, 1, "b")));
    EXPECT_FALSE(region->isEqual(*CircularRegion::make(10.0, 20.0, 100.0, "b")));
}

Value dataOf(const std::string& bytes) { return Value(Value::Data(bytes.begin(), bytes.end())); }

TEST(RecordArchive, ForeignOrDamagedDataReadsAsNothingStored) {
    const std::string valid = *binaryPlistFromValue(Value(Value::Array{Value(Value::Dictionary{{"id", Value("1")}})}));
    struct Row {
        const char* what;
        Value stored;
        std::size_t records;
    };
    const Row rows[] = {
        {"valid", dataOf(valid), 1},
        {"absent", Value(), 0},
        {"text instead of data", Value("bplist00"), 0},
        {"empty data", dataOf(""), 0},
        {"truncated", dataOf(valid.substr(0, valid.size() / 2)), 0},
        {"garbage", dataOf("not a property list at all"), 0},
        {"dictionary root", dataOf(*binaryPlistFromValue(Value(Value::Dictionary{{"a", Value(1)}}))), 0},
        {"array of non-dictionaries", dataOf(*binaryPlistFromValue(Value(Value::Array{Value(1), Value("x")}))), 0},
        {"xml plist", dataOf(*xmlPlistFromValue(Value(Value::Array{Value(Value::Dictionary{})}))), 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const auto array = RecordArchive::unarchive(row.stored);
        EXPECT_EQ(array.value_or(Value::Array()).size(), row.records);
        EXPECT_EQ(RecordArchive::unarchiveRecords<Message>(row.stored).size(), row.records);
        EXPECT_EQ(RecordArchive::unarchiveRecords<Geofence>(row.stored).size(), row.records);
        EXPECT_EQ(RecordArchive::unarchiveRecords<Beacon>(row.stored).size(), row.records);
    }
}

// Every input kept with the fuzz target (crashes included) reads without harm.
TEST(RecordArchive, FuzzCorpusReplays) {
    const std::filesystem::path folders[] = {
        std::filesystem::path(QUORVELA_SOURCE_DIR) / "fuzz/corpus/archive_reader",
        std::filesystem::path(QUORVELA_SOURCE_DIR) / "fuzz/regressions/archive_reader"};
    int replayed = 0;
    for (const auto& folder : folders) {
        if (!std::filesystem::is_directory(folder)) continue;
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            const Value stored = dataOf(bytes);
            for (const auto& m : RecordArchive::unarchiveRecords<Message>(stored)) (void)m->serialize();
            for (const auto& g : RecordArchive::unarchiveRecords<Geofence>(stored)) (void)g->serialize();
            for (const auto& b : RecordArchive::unarchiveRecords<Beacon>(stored)) (void)b->serialize();
            ++replayed;
        }
    }
    EXPECT_GT(replayed, 0) << "the corpus folder is missing";
}

}  // namespace
}  // namespace quorvela
