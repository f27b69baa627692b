// The parsers of the records a reply lists: messages, geofences and beacons.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "protocol/MessageFields.h"
#include "protocol/PendingMessageDataLoader.h"
#include "protocol/PendingMessagesParser.h"
#include "protocol/RegionListParser.h"
#include "protocol/SingleMessageParser.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

using Text = std::optional<std::string>;

TEST(PendingMessagesParserTest, Grammar) {
    struct Case {
        const char* name;
        const char* xml;
        std::vector<std::vector<std::pair<const char*, Text>>> expected;  // per message: field -> value
    };
    const Case cases[] = {
        {"two messages in document order",
         "<messages><message><id>1</id><blastID>b1</blastID><subject>Hi</subject></message>"
         "<message><id>2</id><blastID>b2</blastID><text>Body &amp; more</text></message></messages>",
         {{{"id", "1"}, {"blastID", "b1"}, {"subject", "Hi"}, {"text", ""}},
          {{"id", "2"}, {"blastID", "b2"}, {"text", "Body & more"}, {"subject", ""}}}},
        {"empty field element gives null, absent field keeps empty text",
         "<messages><message><id>7</id><subject></subject><status/></message></messages>",
         {{{"id", "7"}, {"subject", std::nullopt}, {"status", std::nullopt}, {"from", ""}, {"metaData", ""}}}},
        {"unknown elements are ignored",
         "<messages><message><id>3</id><colour>red</colour><Subject>x</Subject></message><extra>y</extra></messages>",
         {{{"id", "3"}, {"subject", ""}}}},
        {"a field between two messages changes the first",
         "<messages><message><id>1</id></message><status>READ</status><message><id>2</id></message></messages>",
         {{{"id", "1"}, {"status", "READ"}}, {{"id", "2"}, {"status", ""}}}},
        {"field elements outside any message are ignored", "<messages><id>9</id></messages>", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PendingMessagesParser parser;
        ASSERT_TRUE(parser.parse(c.xml));
        ASSERT_EQ(parser.messages().size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const auto dict = parser.messages()[i]->encodeWithCoder();
            for (const auto& [field, value] : c.expected[i]) {
                auto found = dict.find(field);
                EXPECT_EQ(found == dict.end() ? std::nullopt : found->second.optionalText(), value) << field;
            }
        }
    }
}

TEST(MessageFieldsTest, EveryFieldNameIsFound) {
    std::size_t index = 0;
    for (const char* field : Message::fieldNames()) EXPECT_EQ(MessageFields::indexOf(field), index++) << field;
}

TEST(SingleMessageParserTest, Grammar) {
    struct Case {
        const char* name;
        const char* xml;
        Text id;  // nothing: no message
        Text subject;
    };
    const Case cases[] = {
        {"one message", "<message><id>123</id><subject>Hello</subject></message>", "123", "Hello"},
        {"the last message wins", "<r><message><id>1</id></message><message><id>2</id></message></r>", "2", ""},
        {"a field after the message still changes it", "<r><message><id>1</id></message><subject>S</subject></r>", "1",
         "S"},
        {"empty subject is null", "<message><id>4</id><subject/></message>", "4", std::nullopt},
        {"no message", "<reply><id>1</id></reply>", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SingleMessageParser parser;
        ASSERT_TRUE(parser.parse(c.xml));
        if (!c.id) {
            EXPECT_EQ(parser.message(), nullptr);
            continue;
        }
        ASSERT_NE(parser.message(), nullptr);
        EXPECT_EQ(parser.message()->id(), c.id);
        EXPECT_EQ(parser.message()->subject(), c.subject);
    }
}

using PendingMessageLoaderTest = LoaderTest;

TEST_F(PendingMessageLoaderTest, ParseErrorIsLoggedWithItsDetails) {
    answer(FakeHttpClient::reply("<a>"));
    const auto events = run([&] {
        loader<PendingMessageDataLoader>(platform, credentials)->startLoadingMessageWithCompletionHandler(nullptr);
    });
    ASSERT_EQ(events.size(), 1u);
    const std::string text = events[0].substr(std::string("pending error Messages - Error: ").size());
    EXPECT_NE(text.find("{"), std::string::npos) << text;
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + text)) << text;
}

std::vector<std::shared_ptr<Geofence>> geofences(const std::string& xml) {
    RegionListParser<Geofence> parser("geoFence");
    EXPECT_TRUE(parser.parse(xml)) << xml;
    return parser.records();
}

TEST(RegionListParser, GeofencesBeaconsAndRuleData) {
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

    RegionListParser<Beacon> parser("beacon");
    ASSERT_TRUE(parser.parse(
        "<beacons><beacon><regionId>b1</regionId><type>BEACON</type>"
        "<rulesString><type>WIFI_BEACON</type></rulesString></beacon>"
        "<beacon><regionId>w1</regionId><type>WIFI_BEACON</type><rules><rule>x</rule><rule><name>n</name></rule>"
        "</rules><name>after</name><geoFence><regionId>not a list element here</regionId></geoFence></beacon>"
        "</beacons>"));
    const auto& beacons = parser.records();
    ASSERT_EQ(beacons.size(), 2u);
    EXPECT_EQ(beacons[0]->regionId(), "b1");
    EXPECT_EQ(beacons[0]->type(), "BEACON");
    EXPECT_EQ(beacons[1]->type(), "WIFI_BEACON");
    EXPECT_EQ(beacons[1]->name(), "after");
    EXPECT_EQ(beacons[1]->regionId(), "not a list element here");
    EXPECT_FALSE(beacons[1]->uuid().has_value());  // a beacon starts with no values
}

}  // namespace
}  // namespace quorvela::test
