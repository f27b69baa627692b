#include "HostTestSupport.h"
#include "quorvela/platform/ManualWifiInfo.h"

namespace quorvela::host::test {
namespace {

class WifiCommandsTest : public HostFixture {
protected:
    void prepare(Platform& platform) override {
        platform.wifiInfo = wifi;
        monitor->addObserver(std::nullopt, [this](const std::string& name) { heard.push_back(name); });
    }
    std::shared_ptr<ManualWifiInfo> wifi = std::make_shared<ManualWifiInfo>();
    std::vector<std::string> heard;
};

TEST_F(WifiCommandsTest, WifiSetsTheCurrentNetworkWithoutPosting) {
    EXPECT_EQ(run(R"(wifi {"SSID":"home","BSSID":"aa:bb:cc:dd:ee:ff"})"), "");
    EXPECT_EQ(facade->currentSSID(), "home");
    EXPECT_EQ(facade->currentConnectionData(),
              (Value::Dictionary{{"SSID", Value("home")}, {"BSSID", Value("aa:bb:cc:dd:ee:ff")}}));
    run("wifi none");
    EXPECT_EQ(facade->currentConnectionData(), std::nullopt);
    EXPECT_TRUE(heard.empty());
    for (const char* bad : {"wifi", "wifi home", "wifi [1]", "wifi \"x\"", "wifi none extra"})
        EXPECT_EQ(run(bad), "error usage: wifi <json-object> | wifi none\n") << bad;
}

TEST_F(WifiCommandsTest, NetworkChangePostsTheGivenOrTheDefaultName) {
    run("network-change");
    run("network-change other.name");
    EXPECT_EQ(heard, (std::vector<std::string>{NetworkMonitor::kNetworkChange, "other.name"}));
    EXPECT_EQ(run("network-change a b"), "error usage: network-change [name]\n");
}

}  // namespace
}  // namespace quorvela::host::test
