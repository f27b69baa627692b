// The Wi-Fi beacon flow through the facade: a manual Wi-Fi port and network
// monitor, the fake HTTP client answering the IP echo, the events endpoint and
// notifyRegionEvent.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/BackgroundTaskTable.h"
#include "core/QuorvelaCore.h"
#include "location/WifiBeaconDetector.h"
#include "location/WifiConnection.h"
#include "model/BeaconRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "protocol/PercentEncoding.h"
#include "protocol/ServiceEndpoints.h"
#include "quorvela/Beacon.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using test::FakeHttpClient;

constexpr const char* kIP = "203.0.113.7";
const char* const kChange = NetworkMonitor::kNetworkChange;

struct Report {
    std::string region;
    std::string status;
    std::string type;
    std::string clientId;
    bool operator==(const Report&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Report& r) {
    return out << "{" << r.region << " " << r.status << " " << r.type << " " << r.clientId << "}";
}

struct Event {
    std::string type;
    std::string extra;
    bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& e) { return out << "{" << e.type << " " << e.extra << "}"; }

Value::Dictionary network(const std::string& ssid, const std::string& bssid) {
    return Value::Dictionary{{"SSID", Value(ssid)}, {"BSSID", Value(bssid)}};
}

std::string textOf(const Value::Dictionary& record, std::optional<std::string> ip = kIP) {
    return WifiConnection::fromRecord(record, ip).text();
}

class WifiBeaconDetectorTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform = test::makeTestPlatform(dir);
        wifi = std::make_shared<ManualWifiInfo>();
        monitor = std::make_shared<ManualNetworkMonitor>();
        platform->wifiInfo = wifi;
        platform->networkMonitor = monitor;
        platform->keyValueStore->set("deviceUniqueID", Value("device-1"));
        facade = QuorvelaCore::create(platform);
        facade->setClientID("main-client");
        facade->setAppName("demo");
        facade->startNetworkChangeWatch();
        http().answer(ipEchoUrl(), FakeHttpClient::reply(kIP));
        http().answer(eventsUrl(), FakeHttpClient::reply(""));
        http().answer(serviceBaseUrl() + "/notifyRegionEvent/",
                      FakeHttpClient::reply("<root><successful>true</successful><message>ok</message></root>"));
    }

    FakeHttpClient& http() { return test::fakeHttp(*platform); }

    std::shared_ptr<WorkspaceRecord> addWorkspace(const std::string& clientId,
                                                  std::vector<std::pair<std::string, std::string>> wifiBeacons) {
        auto workspace = WorkspaceRecord::create(platform);
        workspace->setClientId(clientId);
        workspace->setPublicKey("key-" + clientId);
        WorkspaceRecord::BeaconList beacons;
        // A Bluetooth beacon with a matching uuid must never be reported.
        auto bluetooth = BeaconRecord::create();
        bluetooth->setType("BEACON");
        bluetooth->setUuid("home");
        bluetooth->setRegionId("bt-" + clientId);
        beacons.push_back(bluetooth);
        for (auto& [regionId, uuid] : wifiBeacons) {
            auto beacon = BeaconRecord::create();
            beacon->setType("WIFI_BEACON");
            beacon->setRegionId(regionId);
            beacon->setUuid(uuid);
            beacons.push_back(beacon);
        }
        workspace->setBeacons(beacons);
        facade->workspacesSubscribed()->append(workspace);
        return workspace;
    }

    // Posts a change as the platform does and waits for every request.
    void change(const std::string& name = kChange) {
        http().clearRequests();
        monitor->post(name);
        ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
    }

    std::vector<Report> reports() const {
        std::vector<Report> found;
        const std::string prefix = serviceBaseUrl() + "/notifyRegionEvent/";
        for (const auto& url : test::fakeHttp(*platform).requests()) {
            if (url.rfind(prefix, 0) != 0) continue;
            std::vector<std::string> fields;
            std::string rest = url.substr(prefix.size());
            for (std::size_t at = 0;;) {
                auto slash = rest.find('/', at);
                fields.push_back(rest.substr(at, slash == std::string::npos ? slash : slash - at));
                if (slash == std::string::npos) break;
                at = slash + 1;
            }
            EXPECT_GE(fields.size(), 11U) << url;
            if (fields.size() < 11) continue;
            found.push_back({fields[0], fields[2], fields[6], fields[9]});
        }
        return found;
    }

    std::vector<Event> events() const {
        std::vector<Event> found;
        for (const auto& url : test::fakeHttp(*platform).requests()) {
            if (url.rfind(eventsUrl(), 0) != 0) continue;
            auto type = url.find("eventtype=");
            auto extra = url.find("&extrainfo=");
            std::string typeText = url.substr(type + 10, url.find('&', type) - type - 10);
            std::string extraText;
            if (extra != std::string::npos) {
                auto start = extra + 11;
                extraText = PercentEncoding::decode(url.substr(start, url.find('&', start) - start)).value_or("?");
            }
            found.push_back({typeText, extraText});
        }
        return found;
    }

    std::optional<std::string> lastWifi() const {
        return platform->keyValueStore->get(WifiBeaconDetector::kLastWifiKey).optionalText();
    }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<ManualWifiInfo> wifi;
    std::shared_ptr<ManualNetworkMonitor> monitor;
    std::shared_ptr<QuorvelaCore> facade;
};

TEST_F(WifiBeaconDetectorTest, LastWifiTable) {
    const auto home = network("home", "aa:bb:cc:dd:ee:01");
    const auto office = network("office", "aa:bb:cc:dd:ee:02");
    const std::string T = textOf(home);
    const std::string U = textOf(office);
    struct Row {
        const char* name;
        std::optional<std::string> before;
        std::optional<Value::Dictionary> now;
        std::optional<std::string> after;
        std::vector<Event> events;
        std::vector<Report> reports;
    };
    const std::vector<Row> rows = {
        {"absent, connected",
         std::nullopt,
         home,
         T,
         {{"WIFI_BEACON_CONNECT", T}},
         {{"r-home", "ENTER", "WIFI_BEACON", "ws1"}}},
        {"same connection", T, home, T, {}, {}},
        {"another connection",
         T,
         office,
         U,
         {{"WIFI_BEACON_CONNECT", U}},
         {{"r-office", "ENTER", "WIFI_BEACON", "ws1"}}},
        {"after a disconnection",
         std::string("{}"),
         home,
         T,
         {{"WIFI_BEACON_CONNECT", T}},
         {{"r-home", "ENTER", "WIFI_BEACON", "ws1"}}},
        {"disconnected",
         T,
         std::nullopt,
         std::string("{}"),
         {{"WIFI_BEACON_DISCONNECT", T}},
         {{"r-home", "EXIT", "WIFI_BEACON", "ws1"}}},
        {"still disconnected", std::string("{}"), std::nullopt, std::string("{}"), {}, {}},
        {"never connected", std::nullopt, std::nullopt, std::nullopt, {}, {}},
        {"damaged text, disconnected",
         std::string("{\"SSID\":\"home\""),
         std::nullopt,
         std::string("{}"),
         {{"WIFI_BEACON_DISCONNECT", "{\"SSID\":\"home\""}},
         {}},
    };
    addWorkspace("ws1", {{"r-home", "home"}, {"r-office", "office"}});
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.before) platform->keyValueStore->set("lastWIFI", Value(*row.before));
        else platform->keyValueStore->remove("lastWIFI");
        wifi->setCurrentNetwork(row.now);
        change();
        EXPECT_EQ(lastWifi(), row.after);
        EXPECT_EQ(events(), row.events);
        EXPECT_EQ(reports(), row.reports);
        EXPECT_EQ(test::processBackgroundTasks(*platform).openCount(), 0U);
    }
}

TEST_F(WifiBeaconDetectorTest, MovingStraightToAnotherNetworkOnlyEntersTheNewOne) {
    addWorkspace("ws1", {{"r-home", "home"}, {"r-office", "office"}});
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    change();
    wifi->setCurrentNetwork(network("office", "aa:bb:cc:dd:ee:02"));
    change();
    EXPECT_EQ(events(), (std::vector<Event>{{"WIFI_BEACON_CONNECT", textOf(network("office", "aa:bb:cc:dd:ee:02"))}}));
    EXPECT_EQ(reports(), (std::vector<Report>{{"r-office", "ENTER", "WIFI_BEACON", "ws1"}}));
}

TEST_F(WifiBeaconDetectorTest, ChangedPublicAddressIsANewConnectionMatchedByAddress) {
    addWorkspace("ws1", {{"r-ip", "198.51.100.9"}});
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    change();
    EXPECT_TRUE(reports().empty());
    http().answer(ipEchoUrl(), FakeHttpClient::reply("198.51.100.9"));
    change();
    auto text = textOf(network("home", "aa:bb:cc:dd:ee:01"), "198.51.100.9");
    EXPECT_EQ(lastWifi(), text);
    EXPECT_EQ(events(), (std::vector<Event>{{"WIFI_BEACON_CONNECT", text}}));
    EXPECT_EQ(reports(), (std::vector<Report>{{"r-ip", "ENTER", "WIFI_BEACON", "ws1"}}));
}

TEST_F(WifiBeaconDetectorTest, ListOrderDecidesAndOneReportPerWorkspace) {
    // The BSSID beacon comes first; the SSID beacon after it is not reported.
    addWorkspace("ws1", {{"r-other", "elsewhere"}, {"r-bssid", "aa:bb:cc:dd:ee:01"}, {"r-ssid", "home"}});
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    change();
    EXPECT_EQ(reports(), (std::vector<Report>{{"r-bssid", "ENTER", "WIFI_BEACON", "ws1"}}));
}

TEST_F(WifiBeaconDetectorTest, EveryMatchingWorkspaceGetsItsOwnReport) {
    addWorkspace("ws1", {{"r1", "home"}});
    addWorkspace("ws2", {{"r2", "nothing"}});
    addWorkspace("ws3", {{"r3", "aa:bb:cc:dd:ee:01"}});
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    change();
    auto found = reports();
    std::sort(found.begin(), found.end(), [](const Report& a, const Report& b) { return a.region < b.region; });
    EXPECT_EQ(found,
              (std::vector<Report>{{"r1", "ENTER", "WIFI_BEACON", "ws1"}, {"r3", "ENTER", "WIFI_BEACON", "ws3"}}));
    EXPECT_EQ(test::capturingLog(*platform).count("LocationDelegate: ok"), 2U);
}

TEST_F(WifiBeaconDetectorTest, NotificationWithAnotherNameOnlyBeginsAndEndsItsTask) {
    addWorkspace("ws1", {{"r-home", "home"}});
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    facade->onNetworkChangeCallback("com.example.other");
    ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
    EXPECT_TRUE(http().requests().empty());
    EXPECT_EQ(lastWifi(), std::nullopt);
    auto entry = facade->backgroundTasks().entry("com.example.other");
    ASSERT_TRUE(entry.has_value());                // begun ...
    EXPECT_EQ(*entry, BackgroundTasks::kInvalid);  // ... and ended
    // The monitor's observer is registered for the network-change name only.
    change("com.example.other");
    EXPECT_TRUE(http().requests().empty());
}

TEST_F(WifiBeaconDetectorTest, FailedEchoLeavesOutTheAddress) {
    addWorkspace("ws1", {{"r-ip", kIP}, {"r-home", "home"}});
    http().answer(ipEchoUrl(), FakeHttpClient::failure());
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    change();
    EXPECT_EQ(lastWifi(), "{\"SSID\":\"home\",\"BSSID\":\"aa:bb:cc:dd:ee:01\",\"platform\":\"IOS\"}");
    EXPECT_EQ(reports(), (std::vector<Report>{{"r-home", "ENTER", "WIFI_BEACON", "ws1"}}));
}

TEST_F(WifiBeaconDetectorTest, WatchIsRegisteredOncePerFacade) {
    facade->startNetworkChangeWatch();
    facade->startNetworkChangeWatch();
    EXPECT_EQ(monitor->observerCount(), 1U);
}

TEST_F(WifiBeaconDetectorTest, ReportsCarryTheLastPositionAsSingleFloats) {
    addWorkspace("ws1", {{"r-home", "home"}});
    Location location;
    location.latitude = 10.4806;
    location.longitude = -66.9036;
    facade->setQuorvelaLastLocation(location);
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    change();
    auto urls = http().requests();
    auto report = std::find_if(urls.begin(), urls.end(),
                               [](const std::string& u) { return u.find("/notifyRegionEvent/") != std::string::npos; });
    ASSERT_NE(report, urls.end());
    EXPECT_NE(report->find("/10.480600/-66.903603/WIFI_BEACON/demo/IOS/ws1/"), std::string::npos) << *report;
}

TEST_F(WifiBeaconDetectorTest, ConcurrentChangesReportAConnectionOnce) {
    addWorkspace("ws1", {{"r-home", "home"}});
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    // A slow echo keeps every change inside the look-up at the same time.
    http().answer(ipEchoUrl(), FakeHttpClient::Handler([](const std::string&) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(20));
                      return FakeHttpClient::reply(kIP);
                  }));
    http().clearRequests();
    for (int i = 0; i < 8; ++i) monitor->post(kChange);
    ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
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
    wifi->setCurrentNetwork(network("home", "aa:bb:cc:dd:ee:01"));
    EXPECT_EQ(WifiBeaconDetector::findSSID(wifi.get()), "home");
    EXPECT_EQ(WifiBeaconDetector::findConnectionData(wifi.get()), network("home", "aa:bb:cc:dd:ee:01"));
    wifi->setInterfaces({});  // a machine without Wi-Fi
    EXPECT_EQ(WifiBeaconDetector::findSSID(wifi.get()), "unknown");
    EXPECT_EQ(WifiBeaconDetector::findConnectionData(wifi.get()), std::nullopt);
}

}  // namespace
}  // namespace quorvela
