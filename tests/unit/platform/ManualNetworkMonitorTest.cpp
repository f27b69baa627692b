#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"

namespace quorvela {
namespace {

TEST(ManualNetworkMonitorTest, DeliversByNameInOrderOfRegistration) {
    ManualNetworkMonitor monitor;
    std::vector<std::string> heard;
    monitor.addObserver(std::string(NetworkMonitor::kNetworkChange),
                        [&](const std::string& n) { heard.push_back("a:" + n); });
    auto all = monitor.addObserver(std::nullopt, [&](const std::string& n) { heard.push_back("all:" + n); });
    monitor.post(NetworkMonitor::kNetworkChange);
    monitor.post("other");
    monitor.removeObserver(all);
    monitor.removeObserver(12345);  // unknown: nothing happens
    monitor.post("other");
    const std::string change = NetworkMonitor::kNetworkChange;
    EXPECT_EQ(heard, (std::vector<std::string>{"a:" + change, "all:" + change, "all:other"}));
    EXPECT_EQ(monitor.observerCount(), 1U);
}

TEST(ManualNetworkMonitorTest, ObserverMayRemoveItselfAndAddOthersWhileCalled) {
    ManualNetworkMonitor monitor;
    int calls = 0;
    NetworkMonitor::ObserverId self = 0;
    self = monitor.addObserver(std::nullopt, [&](const std::string&) {
        ++calls;
        monitor.removeObserver(self);
        monitor.addObserver(std::string("later"), [&](const std::string&) { ++calls; });
    });
    EXPECT_NE(self, 0U);
    monitor.post("x");
    monitor.post("x");
    monitor.post("later");
    EXPECT_EQ(calls, 2);
}

TEST(ManualWifiInfoTest, FirstInterfaceCarriesTheNetwork) {
    ManualWifiInfo wifi;
    EXPECT_EQ(wifi.supportedInterfaces(), std::vector<std::string>{"wlan0"});
    EXPECT_EQ(wifi.currentNetworkInfo("wlan0"), std::nullopt);
    Value::Dictionary record{{"SSID", Value("home")}};
    wifi.setCurrentNetwork(record);
    EXPECT_EQ(wifi.currentNetworkInfo("wlan0"), record);
    EXPECT_EQ(wifi.currentNetworkInfo("eth0"), std::nullopt);
    wifi.setInterfaces({});
    EXPECT_TRUE(wifi.supportedInterfaces().empty());
    EXPECT_EQ(wifi.currentNetworkInfo("wlan0"), std::nullopt);
}

}  // namespace
}  // namespace quorvela
