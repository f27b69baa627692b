#include <gtest/gtest.h>

#include "model/BeaconRecord.h"
#include "model/RecordArchive.h"
#include "quorvela/Beacon.h"
#include "quorvela/CreatingBeaconException.h"
#include "quorvela/platform/BeaconRegion.h"

namespace quorvela {
namespace {

using Text = std::optional<std::string>;
constexpr const char* kUuid = "E2C56DB5-DFFB-48D2-B060-D0F5A71096E0";

const char* const kTextKeys[] = {"regionId",   "name",    "type",     "eventType",    "msgTitle",
                                 "msgContent", "appName", "timezone", "update",       "clientId",
                                 "uuid",       "major",   "minor",    "manufacturer", "distanceString"};

TEST(Beacon, StartsAllNullAndSetValueStoresTextsAndTheFlag) {
    BeaconRecord b;
    EXPECT_EQ(b.regionId(), std::nullopt);
    EXPECT_EQ(b.type(), std::nullopt);
    EXPECT_FALSE(b.activated());
    auto s = b.serialize();
    EXPECT_EQ(s.size(), 16u);
    for (const char* key : kTextKeys) EXPECT_EQ(s.at(key), Value("")) << key;
    EXPECT_EQ(s.at("activated"), Value("false"));

    for (const char* key : kTextKeys) b.setValue(std::string("v-") + key, key);
    b.setValue(std::string("x"), "geoFenceId");
    b.setValue(std::string("x"), "Major");
    s = b.serialize();
    for (const char* key : kTextKeys) EXPECT_EQ(s.at(key), Value(std::string("v-") + key)) << key;
    EXPECT_EQ(s.count("geoFenceId"), 0u);

    b.setValue(std::string("YES"), "activated");
    EXPECT_EQ(b.serialize().at("activated"), Value("true"));
    b.setValue(std::nullopt, "uuid");
    EXPECT_EQ(b.uuid(), std::nullopt);
}

TEST(Beacon, ArchiveRoundTripKeepsSixteenValuesAndNulls) {
    auto full = BeaconRecord::create();
    for (const char* key : kTextKeys) full->setValue(std::string("value of ") + key, key);
    full->setActivated(true);
    auto sparse = BeaconRecord::create();
    sparse->setRegionId(std::string("only"));
    sparse->setMinor(std::string(""));

    const auto restored =
        RecordArchive::unarchiveRecords<Beacon>(RecordArchive::archiveRecords(std::vector{full, sparse}));
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(restored[0]->encodeWithCoder(), full->encodeWithCoder());
    EXPECT_EQ(restored[0]->encodeWithCoder().size(), 16u);
    EXPECT_EQ(restored[1]->encodeWithCoder(), sparse->encodeWithCoder());
    EXPECT_EQ(restored[1]->minor(), std::optional<std::string>(""));
    EXPECT_EQ(restored[1]->major(), std::nullopt);
}

TEST(Beacon, MajorAndMinorWrapToSixteenBits) {
    struct Row {
        Text major, minor;
        std::uint16_t expectedMajor, expectedMinor;
    };
    const Row rows[] = {
        {"1", "2", 1, 2},     {"65535", "0", 65535, 0}, {"65536", "65537", 0, 1},  {"-1", "-2", 65535, 65534},
        {" 7x", "abc", 7, 0}, {"", std::nullopt, 0, 0}, {"131073", "12.9", 1, 12},
    };
    for (const auto& row : rows) {
        BeaconRecord b;
        b.setRegionId(std::string("B1"));
        b.setUuid(std::string(kUuid));
        b.setMajor(row.major);
        b.setMinor(row.minor);
        const auto region = b.toBeaconRegion();
        ASSERT_TRUE(region);
        EXPECT_EQ(region->major(), row.expectedMajor) << row.major.value_or("(null)");
        EXPECT_EQ(region->minor(), row.expectedMinor) << row.minor.value_or("(null)");
        EXPECT_EQ(region->identifier(), "B1");
    }
}

TEST(Beacon, InvalidUuidRaisesCreatingBeaconException) {
    const Text bad[] = {"MyHomeWifi",
                        "",
                        std::nullopt,
                        "E2C56DB5DFFB48D2B060D0F5A71096E0",
                        "E2C56DB5-DFFB-48D2-B060-D0F5A71096E",
                        "E2C56DB5-DFFB-48D2-B060-D0F5A71096E0F",
                        "G2C56DB5-DFFB-48D2-B060-D0F5A71096E0",
                        "E2C56DB5-DFFB-48D2-B060_D0F5A71096E0",
                        "{E2C56DB5-DFFB-48D2-B060-D0F5A71096E}"};
    for (const auto& uuid : bad) {
        BeaconRecord b;
        b.setRegionId(std::string("B"));
        b.setName(std::string("Campaign"));
        b.setUuid(uuid);
        try {
            b.toBeaconRegion();
            ADD_FAILURE() << "no exception for " << uuid.value_or("(null)");
        } catch (const CreatingBeaconException& e) {
            EXPECT_EQ(e.name(), "CreatingBeaconException");
            EXPECT_EQ(e.reason(), "Error in data of Beacon");
            EXPECT_EQ(e.userInfo(), b.serialize());
            EXPECT_EQ(e.userInfo().at("name"), Value("Campaign"));
        }
        EXPECT_EQ(b.uuid(), uuid);  // the beacon itself is unchanged
    }
}

}  // namespace
}  // namespace quorvela
