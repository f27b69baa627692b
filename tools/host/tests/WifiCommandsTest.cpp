#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "WifiCommands.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"

namespace quorvela::host {
namespace {

class WifiCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformOptions options;
        options.dataDir =
            (std::filesystem::temp_directory_path() / ("qv-wifi-host-" + std::to_string(::getpid()))).string();
        auto platform = Platform::makeDefault(options);
        platform->wifiInfo = wifi;
        platform->networkMonitor = monitor;
        facade = QuorvelaCore::create(platform);
        for (auto& [name, handler] : WifiCommands::make(facade)) handlers[name] = handler;
    }
    void TearDown() override {
        facade->platform()->dispatcher->waitIdle(std::chrono::seconds(5));
        std::filesystem::remove_all(std::filesystem::temp_directory_path() /
                                    ("qv-wifi-host-" + std::to_string(::getpid())));
    }

    void run(const std::string& text) {
        auto line = CommandLine::parse(text);
        ASSERT_TRUE(line);
        handlers.at(line->command)(line->arguments);
    }

    std::shared_ptr<ManualWifiInfo> wifi = std::make_shared<ManualWifiInfo>();
    std::shared_ptr<ManualNetworkMonitor> monitor = std::make_shared<ManualNetworkMonitor>();
    std::shared_ptr<QuorvelaCore> facade;
    std::map<std::string, CommandTable::Handler> handlers;
};

TEST_F(WifiCommandsTest, WifiSetsTheCurrentNetworkWithoutPosting) {
    std::vector<std::string> heard;
    monitor->addObserver(std::nullopt, [&](const std::string& name) { heard.push_back(name); });
    run(R"(wifi {"SSID":"home","BSSID":"aa:bb:cc:dd:ee:ff"})");
    EXPECT_EQ(facade->currentSSID(), "home");
    EXPECT_EQ(facade->currentConnectionData(),
              (Value::Dictionary{{"SSID", Value("home")}, {"BSSID", Value("aa:bb:cc:dd:ee:ff")}}));
    run("wifi none");
    EXPECT_EQ(facade->currentConnectionData(), std::nullopt);
    EXPECT_TRUE(heard.empty());
    for (const char* bad : {"wifi", "wifi home", "wifi [1]", "wifi \"x\"", "wifi none extra"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(run(bad), CommandError);
    }
}

TEST_F(WifiCommandsTest, NetworkChangePostsTheGivenOrTheDefaultName) {
    std::vector<std::string> heard;
    monitor->addObserver(std::nullopt, [&](const std::string& name) { heard.push_back(name); });
    run("network-change");
    run("network-change other.name");
    EXPECT_EQ(heard, (std::vector<std::string>{NetworkMonitor::kNetworkChange, "other.name"}));
    EXPECT_THROW(run("network-change a b"), CommandError);
}

}  // namespace
}  // namespace quorvela::host
