// Recorded routes: the GPX and NMEA readers and the replay source feeding a
// software location manager.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <mutex>
#include <string>
#include <vector>

#include "LocationRecorder.h"
#include "platform/RouteParser.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/ReplayLocationSource.h"
#include "quorvela/platform/SoftwareLocationManager.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;

constexpr const char* kGpx = R"(<?xml version="1.0" encoding="UTF-8"?>
<gpx version="1.1" creator="test" xmlns="http://www.topografix.com/GPX/1/1">
  <trk><trkseg>
    <trkpt lat="10.4806" lon="-66.9036"><ele>900.5</ele><time>2023-11-14T22:13:20Z</time><hdop>2</hdop></trkpt>
    <trkpt lat="10.4810" lon="-66.9030"><time>2023-11-14T22:13:21.500Z</time></trkpt>
    <trkpt lat="95" lon="0"><time>2023-11-14T22:13:22Z</time></trkpt>
    <trkpt lat="abc" lon="0"/>
    <trkpt lon="1"/>
    <trkpt lat=" -33.5 " lon="151.25"><time>2023-11-14T23:13:23+01:00</time></trkpt>
  </trkseg></trk>
  <wpt lat="1" lon="2"><name>w</name></wpt>
</gpx>
)";

TEST(RouteParser, ReadsGpxTrackPoints) {
    auto fixes = RouteParser::parse(kGpx);
    ASSERT_EQ(fixes.size(), 4u);
    EXPECT_DOUBLE_EQ(fixes[0].latitude, 10.4806);
    EXPECT_DOUBLE_EQ(fixes[0].longitude, -66.9036);
    EXPECT_DOUBLE_EQ(fixes[0].altitude, 900.5);
    EXPECT_DOUBLE_EQ(fixes[0].horizontalAccuracy, 10.0);
    EXPECT_DOUBLE_EQ(fixes[0].timestamp, 1700000000.0);
    EXPECT_DOUBLE_EQ(fixes[1].timestamp, 1700000001.5);
    EXPECT_DOUBLE_EQ(fixes[1].horizontalAccuracy, RouteParser::kDefaultAccuracy);
    EXPECT_DOUBLE_EQ(fixes[2].latitude, -33.5);
    EXPECT_DOUBLE_EQ(fixes[2].timestamp, 1700000003.0);  // the offset is taken off
    EXPECT_DOUBLE_EQ(fixes[3].longitude, 2.0);
    EXPECT_EQ(fixes[3].timestamp, 0.0);
}

TEST(RouteParser, RefusesBrokenOrHostileXml) {
    EXPECT_FALSE(RouteParser::parseGpx("<gpx><trkpt lat='1' lon='2'>"));
    EXPECT_FALSE(RouteParser::parseGpx(""));
    EXPECT_FALSE(RouteParser::parseGpx(R"(<!DOCTYPE gpx [<!ENTITY a "aaaa">]><gpx>&a;</gpx>)"));
    EXPECT_TRUE(RouteParser::parse("  <gpx><trkpt lat='1' lon='2'>").empty());
}

TEST(RouteParser, ReadsNmeaSentences) {
    const std::string log =
        "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n"
        "$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n"
        "$GPRMC,123520,A,3345.000,S,07030.000,W,000.0,,230394,003.1,W\r\n"        // no checksum: accepted
        "$GPGGA,123521,4807.038,N,01131.000,E,0,00,,,M,,M,,*59\r\n"               // no fix
        "$GPRMC,123522,V,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*75\n"  // void
        "$GPRMC,123523,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*00\n"  // bad checksum
        "$GPGGA,123524,9107.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,\n"        // beyond the pole
        "garbage\n$GNGGA,123525,0000.600,S,00000.000,E,1,08,,,M,,M,,";
    auto fixes = RouteParser::parseNmea(log);
    ASSERT_EQ(fixes.size(), 3u);
    // GGA and RMC of one moment make one fix.
    EXPECT_NEAR(fixes[0].latitude, 48.1173, 1e-9);
    EXPECT_NEAR(fixes[0].longitude, 11.516666666666667, 1e-9);
    EXPECT_DOUBLE_EQ(fixes[0].altitude, 545.4);
    EXPECT_DOUBLE_EQ(fixes[0].horizontalAccuracy, 4.5);
    EXPECT_NEAR(fixes[0].speed, 22.4 * RouteParser::kKnot, 1e-9);
    EXPECT_DOUBLE_EQ(fixes[0].course, 84.4);
    EXPECT_DOUBLE_EQ(fixes[0].timestamp, 764426119.0);  // 1994-03-23 12:35:19 UTC
    EXPECT_DOUBLE_EQ(fixes[1].latitude, -33.75);
    EXPECT_DOUBLE_EQ(fixes[1].longitude, -70.5);
    EXPECT_DOUBLE_EQ(fixes[1].course, -1.0);
    EXPECT_NEAR(fixes[2].latitude, -0.01, 1e-12);
    EXPECT_DOUBLE_EQ(fixes[2].timestamp, 764426125.0);  // the date of the last RMC carries on
}

TEST(RouteParser, NmeaCoordinates) {
    struct Case {
        const char* value;
        const char* hemisphere;
        std::optional<double> degrees;
    } cases[] = {{"4807.038", "N", 48.1173},      {"01131.000", "W", -11.516666666666667},
                 {"9000.000", "S", -90.0},        {"9000.001", "N", std::nullopt},
                 {"18000.00", "E", 180.0},        {"4860.000", "N", std::nullopt},
                 {"48a7.038", "N", std::nullopt}, {"4807.038", "X", std::nullopt},
                 {"07.5", "N", std::nullopt},     {"", "N", std::nullopt},
                 {"123456.0", "N", std::nullopt}};
    for (const auto& c : cases) {
        auto value = RouteParser::parseNmeaCoordinate(c.value, c.hemisphere);
        ASSERT_EQ(value.has_value(), c.degrees.has_value()) << c.value;
        EXPECT_NEAR(value.value_or(0), c.degrees.value_or(0), 1e-9) << c.value;
    }
}

TEST(ReplayLocationSource, ReplaysAFileThroughTheManager) {
    test::TempDir dir;
    // Out of the circle, into it, out again: one minute apart, replayed without pauses.
    const std::string nmea =
        "$GPRMC,120000,A,1000.000,N,02000.000,E,0,0,010124,,\n"
        "$GPRMC,120100,A,1000.010,N,02000.000,E,0,0,010124,,\n"
        "$GPRMC,120200,A,1000.000,N,02000.000,E,0,0,010124,,\n"
        "$GPRMC,120300,A,1000.030,N,02000.000,E,0,0,010124,,\n";
    std::string error;
    auto source = ReplayLocationSource::fromFile(dir.write("route.nmea", nmea).string(), 0.0, &error);
    ASSERT_TRUE(source) << error;
    ASSERT_EQ(source->route().size(), 4u);

    auto manager = SoftwareLocationManager::create(nullptr, nullptr);
    auto recorder = std::make_shared<test::LocationRecorder>();
    manager->setDelegate(recorder);
    manager->requestAlwaysAuthorization();
    manager->startUpdatingLocation();
    // 0.01' of latitude is about 18 m: a 30 m circle around the second point.
    manager->startMonitoringForRegion(CircularRegion::make(10.0 + 0.01 / 60, 20.0, 30.0, "spot"));
    source->start([manager](const Location& fix) { manager->receiveFix(fix); });
    ASSERT_TRUE(source->waitFinished(10s));
    source->stop();
    // The first fix is inside: no entry.
    EXPECT_EQ(recorder->take(), (std::vector<std::string>{"auth 3", "start spot", "update 1", "update 1", "update 1",
                                                          "update 1", "exit spot"}));
}

TEST(ReplayLocationSource, StopEndsAPausedReplay) {
    std::vector<Location> route(3);
    route[0].timestamp = 100.0;
    route[1].timestamp = 4000.0;  // an hour later: the pause is capped, and stop cuts it short
    route[2].timestamp = 4001.0;
    ReplayLocationSource source(route, 1.0);
    std::mutex mutex;
    int delivered = 0;
    source.start([&](const Location&) {
        std::lock_guard lock(mutex);
        ++delivered;
    });
    EXPECT_FALSE(source.waitFinished(50ms));
    source.stop();
    EXPECT_FALSE(source.waitFinished(10ms));
    std::lock_guard lock(mutex);
    EXPECT_EQ(delivered, 1);
}

TEST(ReplayLocationSource, UnreadableFiles) {
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(ReplayLocationSource::fromFile((dir.path() / "missing.gpx").string(), 1.0, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
    EXPECT_FALSE(ReplayLocationSource::fromFile(dir.write("empty.gpx", "<gpx></gpx>").string(), 1.0, &error));
    EXPECT_NE(error.find("no readable fix"), std::string::npos);
}

}  // namespace
}  // namespace quorvela
