#include <gtest/gtest.h>

#include "location/WifiConnection.h"
#include "model/BeaconRecord.h"
#include "quorvela/Beacon.h"

namespace quorvela {
namespace {

std::shared_ptr<Beacon> beacon(const char* regionId, std::optional<std::string> uuid) {
    auto b = BeaconRecord::create();
    b->setRegionId(regionId);
    b->setUuid(std::move(uuid));
    b->setType("WIFI_BEACON");
    return b;
}

TEST(WifiConnectionTest, TextIsCompactWithAFixedKeyOrder) {
    Value::Dictionary record{{"BSSID", Value("aa:bb:cc:dd:ee:ff")}, {"SSID", Value("Café \"x\"")}};
    EXPECT_EQ(WifiConnection::fromRecord(record, "1.2.3.4").text(),
              "{\"SSID\":\"Café \\\"x\\\"\",\"BSSID\":\"aa:bb:cc:dd:ee:ff\",\"IP\":\"1.2.3.4\",\"platform\":\"IOS\"}");
    // What the platform does not give is written as (null); no address, no key.
    EXPECT_EQ(WifiConnection::fromRecord({}, std::nullopt).text(),
              "{\"SSID\":\"(null)\",\"BSSID\":\"(null)\",\"platform\":\"IOS\"}");
}

TEST(WifiConnectionTest, BytesThatAreNotUtf8DoNotBreakTheText) {
    Value::Dictionary record{{"SSID", Value(std::string("net\xff\xfe"))}};
    std::string text;
    EXPECT_NO_THROW(text = WifiConnection::fromRecord(record, std::nullopt).text());
    EXPECT_EQ(text.rfind("{\"SSID\":\"net", 0), 0U);
    // Equal records still give equal texts.
    EXPECT_EQ(text, WifiConnection::fromRecord(record, std::nullopt).text());
}

TEST(WifiConnectionTest, TextRoundTripsAndDamageIsRecognised) {
    auto original = WifiConnection::fromRecord({{"SSID", Value("home")}, {"BSSID", Value("b")}}, "1.2.3.4");
    auto back = WifiConnection::fromText(original.text());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text(), original.text());
    for (const char* damaged : {"", "{", "[1,2]", "\"home\"", "null", "{\"SSID\":"}) {
        SCOPED_TRACE(damaged);
        EXPECT_FALSE(WifiConnection::fromText(damaged));
    }
    auto odd = WifiConnection::fromText("{\"SSID\":7,\"BSSID\":null,\"IP\":\"x\"}");
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->ssid);
    EXPECT_FALSE(odd->bssid);
    EXPECT_EQ(odd->ip, "x");
}

TEST(WifiConnectionTest, FirstBeaconInListOrderMatchesAnyOfTheThreeValues) {
    auto connection = WifiConnection::fromRecord({{"SSID", Value("home")}, {"BSSID", Value("aa")}}, "1.2.3.4");
    struct Row {
        const char* name;
        std::vector<std::shared_ptr<Beacon>> beacons;
        const char* expected;  // region id, or nullptr
    };
    const std::vector<Row> rows = {
        {"ssid", {beacon("a", "zzz"), beacon("b", "home")}, "b"},
        {"bssid before ssid", {beacon("a", "aa"), beacon("b", "home")}, "a"},
        {"ip", {beacon("a", std::nullopt), beacon("b", "1.2.3.4")}, "b"},
        {"nothing", {beacon("a", "HOME"), beacon("b", " home"), nullptr}, nullptr},
        {"empty", {}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto found = connection.firstMatch(row.beacons);
        EXPECT_EQ(found ? found->regionId() : std::nullopt,
                  row.expected ? std::optional<std::string>(row.expected) : std::nullopt);
    }
    // Without an address, SSID or BSSID the placeholder text matches nothing.
    EXPECT_EQ(WifiConnection::fromRecord({}, std::nullopt).firstMatch({beacon("a", "(null)"), beacon("b", "")}),
              nullptr);
}

}  // namespace
}  // namespace quorvela
