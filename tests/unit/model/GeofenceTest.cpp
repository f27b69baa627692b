#include <cmath>
#include <limits>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "model/GeofenceRecord.h"
#include "model/RecordArchive.h"
#include "quorvela/CreatingGeofenceException.h"
#include "quorvela/Geofence.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/LocationManager.h"

namespace quorvela {
namespace {

using Text = std::optional<std::string>;

TEST(Geofence, DefaultsAndInitWithId) {
    GeofenceRecord g;
    EXPECT_EQ(g.type(), "GEOFENCE");
    EXPECT_EQ(g.regionId(), "");
    EXPECT_EQ(g.geoFenceId(), "");
    EXPECT_FALSE(g.activated());
    EXPECT_EQ(g.latitude(), std::nullopt);
    EXPECT_EQ(g.radius(), std::nullopt);
    EXPECT_EQ(g.creationTime(), std::nullopt);

    const auto s = g.serialize();
    EXPECT_EQ(s.size(), 15u);
    EXPECT_EQ(s.at("latitude"), Value(0.0));  // null numbers serialise as 0
    EXPECT_EQ(s.at("radius"), Value(0.0));
    EXPECT_EQ(s.at("activated"), Value(false));
    EXPECT_EQ(s.count("creationTime"), 0u);

    const auto made = Geofence::initWithID("R7", 1.0, 2.0, 30.0f, "EXIT", "Shop")->serialize();
    EXPECT_EQ(made.size(), 15u);
    EXPECT_EQ(made.at("type"), Value("GEOFENCE"));
    EXPECT_EQ(made.at("activated"), Value(true));
    EXPECT_EQ(made.at("regionId"), Value("R7"));
    EXPECT_EQ(made.at("geoFenceId"), Value("R7"));
    EXPECT_EQ(made.at("radius"), Value(30.0));
}

TEST(Geofence, SetValueReadsNumbersAndCutsTheRadiusToThirtyTwoBits) {
    struct Row {
        const char* key;
        Text text;
        double number;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const Row rows[] = {
        {"radius", "150.7", 150.0},
        {"radius", "-30", -30.0},
        {"radius", "99999999999", 2147483647.0},
        {"radius", "-99999999999", -2147483648.0},
        {"radius", std::nullopt, 0.0},
        {"latitude", "150.7", 150.7},
        {"latitude", "-12.5e1x", -125.0},
        {"latitude", std::nullopt, 0.0},
        // Only an overflow gives an infinity, which the region check refuses.
        {"latitude", "1e999", inf},
        {"longitude", "-1e999", -inf},
        {"longitude", "  -66.9036", -66.9036},
    };
    for (const auto& row : rows) {
        GeofenceRecord g;
        g.setValue(row.text, row.key);
        const std::string k = row.key;
        const auto got = k == "radius" ? g.radius() : k == "latitude" ? g.latitude() : g.longitude();
        ASSERT_TRUE(got.has_value()) << k << " <- " << row.text.value_or("(null)");
        EXPECT_DOUBLE_EQ(*got, row.number) << k << " <- " << row.text.value_or("(null)");
    }
}

TEST(Geofence, SetValueStoresTextsAndIgnoresUnknownKeys) {
    GeofenceRecord g;
    g.setValue(std::string("R1"), "regionId");
    g.setValue(std::string("G1"), "geoFenceId");
    g.setValue(std::nullopt, "name");
    g.setValue(std::string("5"), "creationTime");
    g.setValue(std::string("x"), "unknown");
    g.setValue(std::string("x"), "RegionId");
    EXPECT_EQ(g.regionId(), "R1");
    EXPECT_EQ(g.geoFenceId(), "G1");
    EXPECT_EQ(g.name(), std::nullopt);
    EXPECT_EQ(g.creationTime(), std::nullopt);
    EXPECT_EQ(g.serialize().at("name"), Value(""));

    // Keys are read as views: only the view's own characters count.
    const std::string keys = "latitudenameradius";
    const std::string_view all(keys);
    g.setValue(std::string("12.5"), all.substr(0, 8));
    g.setValue(std::string("N"), all.substr(8, 4));
    g.setValue(std::string("7"), all.substr(0, 9));
    EXPECT_EQ(g.latitude(), 12.5);
    EXPECT_EQ(g.name(), "N");
}

TEST(Geofence, ArchiveRoundTripKeepsEighteenValuesAndNulls) {
    auto full = std::make_shared<GeofenceRecord>(*Geofence::initWithID("R", 10.5, -66.25, 250.5f, "ENTER", "campaign"));
    for (const char* key : {"msgTitle", "msgContent", "appName", "timezone", "update", "clientId", "geoFenceId"})
        full->setValue("v-" + std::string(key), key);
    full->setCreationTime(1.5);
    full->setLastEnterTime(2.0);
    full->setLastExitTime(-3.25);

    auto sparse = GeofenceRecord::create();
    sparse->setName(std::nullopt);
    sparse->setType(std::nullopt);

    const Value stored = RecordArchive::archiveRecords(std::vector<std::shared_ptr<Geofence>>{full, sparse});
    const auto restored = RecordArchive::unarchiveRecords<Geofence>(stored);
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(restored[0]->encodeWithCoder(), full->encodeWithCoder());
    EXPECT_EQ(restored[0]->encodeWithCoder().size(), 18u);
    EXPECT_EQ(restored[0]->lastExitTime(), -3.25);
    EXPECT_EQ(restored[1]->encodeWithCoder(), sparse->encodeWithCoder());
    EXPECT_EQ(restored[1]->name(), std::nullopt);
    EXPECT_EQ(restored[1]->latitude(), std::nullopt);
}

TEST(Geofence, RadiusIsCutToTheMaximumMonitoringDistance) {
    const double max = LocationManager::kMaximumRegionMonitoringDistance;
    struct Row {
        std::optional<double> radius;
        double expected;
    };
    const Row rows[] = {
        {0.0, 0.0}, {std::nullopt, 0.0}, {99999.0, 99999.0}, {max, max}, {100000.5, max}, {1e12, max}, {150.0, 150.0},
    };
    for (const auto& row : rows) {
        GeofenceRecord g;
        g.setRegionId(std::string("R"));
        g.setLatitude(10.0);
        g.setLongitude(20.0);
        g.setRadius(row.radius);
        const auto region = g.toCircularRegion();
        ASSERT_TRUE(region);
        EXPECT_EQ(region->radius(), row.expected) << row.radius.value_or(-1);
    }
    // A smaller maximum from another manager.
    GeofenceRecord g;
    g.setRadius(500.0);
    EXPECT_EQ(g.toCircularRegion(200.0)->radius(), 200.0);
}

TEST(Geofence, InvalidDataRaisesCreatingGeofenceException) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Row {
        double latitude, longitude, radius;
        bool ok;
    };
    const Row rows[] = {
        {90.0, 180.0, 10.0, true},  {-90.0, -180.0, 10.0, true}, {90.0001, 0.0, 10.0, false},
        {0.0, -180.5, 10.0, false}, {nan, 0.0, 10.0, false},     {0.0, inf, 10.0, false},
        {0.0, 0.0, -1.0, false},    {0.0, 0.0, nan, false},      {0.0, 0.0, inf, false},
    };
    for (const auto& row : rows) {
        GeofenceRecord g;
        g.setRegionId(std::string("R"));
        g.setName(std::string("Campaign"));
        g.setLatitude(row.latitude);
        g.setLongitude(row.longitude);
        g.setRadius(row.radius);
        SCOPED_TRACE(testing::Message() << row.latitude << "," << row.longitude << " r" << row.radius);
        if (row.ok) {
            EXPECT_NO_THROW(g.toCircularRegion());
            continue;
        }
        try {
            g.toCircularRegion();
            ADD_FAILURE() << "no exception";
        } catch (const CreatingGeofenceException& e) {
            EXPECT_EQ(e.name(), "CreatingGeofenceException");
            EXPECT_EQ(e.reason(), "Error in data of Geofence");
            // (compared as text: a NaN never equals itself)
            EXPECT_EQ(Value(e.userInfo()).describe(), Value(g.serialize()).describe());
        }
    }
    // Without an identifier the region could not be traced back.
    GeofenceRecord g;
    g.setRegionId(std::nullopt);
    EXPECT_THROW(g.toCircularRegion(), CreatingGeofenceException);
}

}  // namespace
}  // namespace quorvela
