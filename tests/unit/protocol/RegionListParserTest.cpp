#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/RegionListParser.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"

namespace quorvela {
namespace {

std::vector<std::shared_ptr<Geofence>> geofences(const std::string& xml) {
    RegionListParser<Geofence> parser("geoFence");
    EXPECT_TRUE(parser.parse(xml)) << xml;
    return parser.records();
}

TEST(RegionListParser, GeofencesAndRuleData) {
    // The record's setValue reads each value; the parser only has to hand it over.
    auto list = geofences(
        "<geoFences><geoFence><regionId>r1</regionId><latitude>10.5</latitude></geoFence>"
        "<geoFence><name>n</name><rulesString><name>rule</name><regionId>x</regionId>text</rulesString></geoFence>"
        "<geoFence><rules><rule><name>a</name></rule><rule><msgTitle>b</msgTitle></rule></rules>"
        "<msgTitle>after</msgTitle></geoFence>"
        "<geoFence><area><clientId>deep</clientId></area></geoFence><regionId>out</regionId>"
        "<geoFence><name/></geoFence></geoFences>");
    ASSERT_EQ(list.size(), 5u);
    EXPECT_EQ(list[0]->regionId(), "r1");
    EXPECT_EQ(list[0]->latitude(), 10.5);
    // rulesString hides elements named like properties; a rules block is skipped whole.
    EXPECT_EQ(list[1]->name(), "n");
    EXPECT_EQ(list[1]->regionId(), "");
    EXPECT_EQ(list[2]->msgTitle(), "after");
    EXPECT_EQ(list[2]->name(), "");
    // Nesting is not looked at.
    EXPECT_EQ(list[3]->clientId(), "deep");
    // Elements outside a list element change nothing; an empty element gives null.
    EXPECT_EQ(list[4]->regionId(), "");
    EXPECT_FALSE(list[4]->name().has_value());

    list = geofences("<l>\n <geoFence>\n  <regionId>r</regionId>\n </geoFence>\n</l>");
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0]->regionId(), "\n \n  r") << "texts begin with the white space before them";
    EXPECT_TRUE(geofences("<geoFences><note>none</note></geoFences>").empty());
}

TEST(RegionListParser, BeaconsAndRuleData) {
    RegionListParser<Beacon> parser("beacon");
    ASSERT_TRUE(parser.parse(
        "<beacons><beacon><regionId>b1</regionId><type>BEACON</type>"
        "<rulesString><type>WIFI_BEACON</type></rulesString></beacon>"
        "<beacon><regionId>w1</regionId><type>WIFI_BEACON</type><rules><rule>x</rule><rule><name>n</name></rule>"
        "</rules><name>after</name><geoFence><regionId>not a list element here</regionId></geoFence></beacon>"
        "</beacons>"));
    const auto& list = parser.records();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->regionId(), "b1");
    EXPECT_EQ(list[0]->type(), "BEACON");
    EXPECT_EQ(list[1]->type(), "WIFI_BEACON");
    EXPECT_EQ(list[1]->name(), "after");
    EXPECT_EQ(list[1]->regionId(), "not a list element here");
    EXPECT_FALSE(list[1]->uuid().has_value());  // a beacon starts with no values
}

}  // namespace
}  // namespace quorvela
