// The Wi-Fi beacon flow through the facade: a manual Wi-Fi port and network
// monitor, the fake HTTP client answering the IP echo, the events endpoint and
// notifyRegionEvent.
#include <thread>

#include "LocationFixture.h"
#include "core/BackgroundTaskTable.h"
#include "location/WifiBeaconDetector.h"
#include "location/WifiConnection.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"

namespace quorvela::test {
namespace {

constexpr const char* kIP = "203.0.113.7";
const char* const kChange = NetworkMonitor::kNetworkChange;

Value::Dictionary network(const std::string& ssid, const std::string& bssid) {
    return Value::Dictionary{{"SSID", Value(ssid)}, {"BSSID", Value(bssid)}};
}

const Value::Dictionary kHome = network("home", "aa:bb:cc:dd:ee:01");
const Value::Dictionary kOffice = network("office", "aa:bb:cc:dd:ee:02");

std::string textOf(const Value::Dictionary& record, std::optional<std::string> ip = kIP) {
    return WifiConnection::fromRecord(record, ip).text();
}

std::vector<SentEvent> sent(const std::string& type, const std::string& text) {
    return {{type, text, std::nullopt, "main-client"}};
}

// One report of a Wi-Fi beacon, as the fixture's position and app name give it.
std::string reported(const std::string& region, const std::string& status, const std::string& ws = "ws1") {
    return region + " " + status + " 10.480600 -66.903603 WIFI_BEACON demo IOS " + ws;
}

class WifiBeaconDetectorTest : public LocationFixture {
protected:
    WifiBeaconDetectorTest() {
        platform->wifiInfo = wifi;
        platform->networkMonitor = monitor;
        facade->startNetworkChangeWatch();
        http().answer(ipEchoUrl(), FakeHttpClient::reply(kIP));
        // Single floats: 10.4806 travels as 10.480600, -66.9036 as -66.903603.
        facade->setQuorvelaLastLocation(fixAt(10.4806, -66.9036));
    }

    // Each workspace also holds a Bluetooth beacon whose uuid matches the
    // network's name: it must never be reported.
    void addWifiWorkspace(const std::string& clientId, const std::vector<std::pair<std::string, std::string>>& wifis) {
        WorkspaceRecord::BeaconList beacons{beacon("bt-" + clientId, "BEACON", "home")};
        for (const auto& [regionId, uuid] : wifis) beacons.push_back(beacon(regionId, "WIFI_BEACON", uuid));
        addWorkspace(clientId)->setBeacons(beacons);
    }

    // Posts a change as the platform does and waits for every request.
    void change(const std::string& name = kChange) {
        http().clearRequests();
        monitor->post(name);
        ASSERT_TRUE(idle());
    }

    // Sorted, each as its region, status, position, type, app, platform and client.
    std::vector<std::string> wifiReports() {
        std::vector<std::string> found;
        for (const auto& f : reports()) {
            std::string text;
            for (const auto& field : pick(f, {0, 2, 4, 5, 6, 7, 8, 9})) text += (text.empty() ? "" : " ") + field;
            found.push_back(text);
        }
        std::sort(found.begin(), found.end());
        return found;
    }

    std::optional<std::string> lastWifi() {
        return platform->keyValueStore->get(WifiBeaconDetector::kLastWifiKey).optionalText();
    }

    std::shared_ptr<ManualWifiInfo> wifi = std::make_shared<ManualWifiInfo>();
    std::shared_ptr<ManualNetworkMonitor> monitor = std::make_shared<ManualNetworkMonitor>();
};

TEST_F(WifiBeaconDetectorTest, LastWifiTable) {
    const std::string T = textOf(kHome), U = textOf(kOffice), off = "{}", damaged = "{\"SSID\":\"home\"";
    const auto connect = [](const std::string& text) { return sent("WIFI_BEACON_CONNECT", text); };
    struct Row {
        const char* name;
        std::optional<std::string> before;
        const Value::Dictionary* now;
        std::optional<std::string> after;
        std::vector<SentEvent> events;
        std::vector<std::string> reports;
    };
    const std::vector<Row> rows = {
        {"absent, connected", std::nullopt, &kHome, T, connect(T), {reported("r-home", "ENTER")}},
        {"same connection", T, &kHome, T, {}, {}},
        {"another connection", T, &kOffice, U, connect(U), {reported("r-office", "ENTER")}},
        {"after a disconnection", off, &kHome, T, connect(T), {reported("r-home", "ENTER")}},
        {"disconnected", T, nullptr, off, sent("WIFI_BEACON_DISCONNECT", T), {reported("r-home", "EXIT")}},
        {"still disconnected", off, nullptr, off, {}, {}},
        {"never connected", std::nullopt, nullptr, std::nullopt, {}, {}},
        {"damaged text, disconnected", damaged, nullptr, off, sent("WIFI_BEACON_DISCONNECT", damaged), {}},
    };
    addWifiWorkspace("ws1", {{"r-home", "home"}, {"r-office", "office"}});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.before) platform->keyValueStore->set("lastWIFI", Value(*row.before));
        else platform->keyValueStore->remove("lastWIFI");
        wifi->setCurrentNetwork(row.now ? std::optional(*row.now) : std::nullopt);
        change();
        EXPECT_EQ(lastWifi(), row.after);
        EXPECT_EQ(events(), row.events);
        EXPECT_EQ(wifiReports(), row.reports);
        EXPECT_EQ(processBackgroundTasks(*platform).openCount(), 0U);
    }
}

TEST_F(WifiBeaconDetectorTest, FailedEchoLeavesOutTheAddressAndANewAddressIsANewConnection) {
    addWifiWorkspace("ws1", {{"r-ip", "198.51.100.9"}, {"r-home", "home"}});
    http().answer(ipEchoUrl(), FakeHttpClient::failure());
    wifi->setCurrentNetwork(kHome);
    change();
    EXPECT_EQ(lastWifi(), "{\"SSID\":\"home\",\"BSSID\":\"aa:bb:cc:dd:ee:01\",\"platform\":\"IOS\"}");
    EXPECT_EQ(wifiReports(), std::vector{reported("r-home", "ENTER")});

    http().answer(ipEchoUrl(), FakeHttpClient::reply("198.51.100.9"));
    change();
    auto text = textOf(kHome, "198.51.100.9");
    EXPECT_EQ(lastWifi(), text);
    EXPECT_EQ(events(), sent("WIFI_BEACON_CONNECT", text));
    EXPECT_EQ(wifiReports(), std::vector{reported("r-ip", "ENTER")}) << "the address beacon comes first in the list";
}

TEST_F(WifiBeaconDetectorTest, FirstMatchInListOrderAndOneReportPerMatchingWorkspace) {
    // In ws1 the BSSID beacon comes first; the SSID beacon after it is not reported.
    addWifiWorkspace("ws1", {{"r-other", "elsewhere"}, {"r-bssid", "aa:bb:cc:dd:ee:01"}, {"r-ssid", "home"}});
    addWifiWorkspace("ws2", {{"r2", "nothing"}});
    addWifiWorkspace("ws3", {{"r3", "home"}});
    wifi->setCurrentNetwork(kHome);
    change();
    EXPECT_EQ(wifiReports(), (std::vector{reported("r-bssid", "ENTER"), reported("r3", "ENTER", "ws3")}));
    EXPECT_EQ(log().count("LocationDelegate: ok"), 2U);
}

TEST_F(WifiBeaconDetectorTest, NotificationWithAnotherNameOnlyBeginsAndEndsItsTask) {
    addWifiWorkspace("ws1", {{"r-home", "home"}});
    wifi->setCurrentNetwork(kHome);
    facade->onNetworkChangeCallback("com.example.other");
    ASSERT_TRUE(idle());
    EXPECT_TRUE(http().requests().empty());
    EXPECT_EQ(lastWifi(), std::nullopt);
    EXPECT_EQ(facade->backgroundTasks().entry("com.example.other"), std::optional(BackgroundTasks::kInvalid))
        << "begun and ended";
    // The monitor's observer is registered for the network-change name only.
    change("com.example.other");
    EXPECT_TRUE(http().requests().empty());
}

TEST_F(WifiBeaconDetectorTest, ConcurrentChangesReportAConnectionOnce) {
    addWifiWorkspace("ws1", {{"r-home", "home"}});
    wifi->setCurrentNetwork(kHome);
    // A slow echo keeps every change inside the look-up at the same time.
    http().answer(ipEchoUrl(), FakeHttpClient::Handler([](const std::string&) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(20));
                      return FakeHttpClient::reply(kIP);
                  }));
    http().clearRequests();
    for (int i = 0; i < 8; ++i) monitor->post(kChange);
    ASSERT_TRUE(idle());
    EXPECT_EQ(events().size(), 1U);
    EXPECT_EQ(reports().size(), 1U);
}

TEST(WifiFindTest, SsidAndConnectionData) {
    auto wifi = std::make_shared<ManualWifiInfo>();
    EXPECT_EQ(WifiBeaconDetector::findSSID(nullptr), "unknown");
    EXPECT_EQ(WifiBeaconDetector::findConnectionData(nullptr), std::nullopt);
    EXPECT_EQ(WifiBeaconDetector::findSSID(wifi.get()), "unknown");  // not connected
    wifi->setCurrentNetwork(Value::Dictionary{{"BSSID", Value("aa:bb:cc:dd:ee:01")}});
    EXPECT_EQ(WifiBeaconDetector::findSSID(wifi.get()), "unknown");  // no name
    wifi->setCurrentNetwork(kHome);
    EXPECT_EQ(WifiBeaconDetector::findSSID(wifi.get()), "home");
    EXPECT_EQ(WifiBeaconDetector::findConnectionData(wifi.get()), kHome);
    wifi->setInterfaces({});  // a machine without Wi-Fi
    EXPECT_EQ(WifiBeaconDetector::findSSID(wifi.get()), "unknown");
    EXPECT_EQ(WifiBeaconDetector::findConnectionData(wifi.get()), std::nullopt);
}

std::shared_ptr<Beacon> wifiBeacon(const char* regionId, std::optional<std::string> uuid) {
    auto b = BeaconRecord::create();
    b->setRegionId(regionId);
    b->setUuid(std::move(uuid));
    b->setType("WIFI_BEACON");
    return b;
}

TEST(WifiConnectionTest, TextIsCompactWithAFixedKeyOrderReadsBackAndDamageIsRecognised) {
    auto original = WifiConnection::fromRecord({{"BSSID", Value("aa:bb:cc:dd:ee:ff")}, {"SSID", Value("Café \"x\"")}},
                                               "1.2.3.4");
    EXPECT_EQ(original.text(),
              "{\"SSID\":\"Café \\\"x\\\"\",\"BSSID\":\"aa:bb:cc:dd:ee:ff\",\"IP\":\"1.2.3.4\",\"platform\":\"IOS\"}");
    // What the platform does not give is written as (null); no address, no key.
    EXPECT_EQ(WifiConnection::fromRecord({}, std::nullopt).text(),
              "{\"SSID\":\"(null)\",\"BSSID\":\"(null)\",\"platform\":\"IOS\"}");
    auto back = WifiConnection::fromText(original.text());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->text(), original.text());
    for (const char* damaged : {"", "{", "[1,2]", "\"home\"", "null", "{\"SSID\":"})
        EXPECT_FALSE(WifiConnection::fromText(damaged)) << damaged;
    auto odd = WifiConnection::fromText("{\"SSID\":7,\"BSSID\":null,\"IP\":\"x\"}");
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->ssid);
    EXPECT_FALSE(odd->bssid);
    EXPECT_EQ(odd->ip, "x");
    // Bytes that are not UTF-8 do not break the text, and equal records still give equal texts.
    Value::Dictionary bytes{{"SSID", Value(std::string("net\xff\xfe"))}};
    std::string text;
    EXPECT_NO_THROW(text = WifiConnection::fromRecord(bytes, std::nullopt).text());
    EXPECT_EQ(text.rfind("{\"SSID\":\"net", 0), 0U);
    EXPECT_EQ(text, WifiConnection::fromRecord(bytes, std::nullopt).text());
}

TEST(WifiConnectionTest, FirstBeaconInListOrderMatchesAnyOfTheThreeValues) {
    auto connection = WifiConnection::fromRecord({{"SSID", Value("home")}, {"BSSID", Value("aa")}}, "1.2.3.4");
    struct Row {
        const char* name;
        std::vector<std::shared_ptr<Beacon>> beacons;
        const char* expected;  // region id, or nullptr
    };
    const std::vector<Row> rows = {
        {"ssid", {wifiBeacon("a", "zzz"), wifiBeacon("b", "home")}, "b"},
        {"bssid before ssid", {wifiBeacon("a", "aa"), wifiBeacon("b", "home")}, "a"},
        {"ip", {wifiBeacon("a", std::nullopt), wifiBeacon("b", "1.2.3.4")}, "b"},
        {"nothing", {wifiBeacon("a", "HOME"), wifiBeacon("b", " home"), nullptr}, nullptr},
        {"empty", {}, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto found = connection.firstMatch(row.beacons);
        EXPECT_EQ(found ? found->regionId() : std::nullopt,
                  row.expected ? std::optional<std::string>(row.expected) : std::nullopt);
    }
    // Without an address, SSID or BSSID the placeholder text matches nothing.
    EXPECT_EQ(WifiConnection::fromRecord({}, std::nullopt).firstMatch({wifiBeacon("a", "(null)"), wifiBeacon("b", "")}),
              nullptr);
}

}  // namespace
}  // namespace quorvela::test
