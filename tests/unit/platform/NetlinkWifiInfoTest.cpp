// The nl80211 Wi-Fi port: the byte decoding it does itself, and that asking a
// machine without Wi-Fi (like most test machines) answers "no interface".
#include <gtest/gtest.h>

#include "platform/Nl80211WifiInfo.h"

namespace quorvela {
namespace {

TEST(NetlinkWifiInfoTest, HardwareAddressNeedsSixBytes) {
    const unsigned char bytes[] = {0x00, 0x1a, 0xff, 0x0b, 0xc0, 0x01, 0x02};
    EXPECT_EQ(Nl80211WifiInfo::hardwareAddress(bytes, 6), "00:1a:ff:0b:c0:01");
    EXPECT_EQ(Nl80211WifiInfo::hardwareAddress(bytes, 5), std::nullopt);
    EXPECT_EQ(Nl80211WifiInfo::hardwareAddress(bytes, 7), std::nullopt);
    EXPECT_EQ(Nl80211WifiInfo::hardwareAddress(nullptr, 6), std::nullopt);
}

TEST(NetlinkWifiInfoTest, SsidElementIsFoundAndCutElementsAreRefused) {
    struct Row {
        const char* name;
        std::vector<unsigned char> bytes;
        std::optional<std::string> expected;
    };
    const std::vector<Row> rows = {
        {"first", {0, 4, 'h', 'o', 'm', 'e', 1, 1, 0x82}, std::string("home")},
        {"after another", {1, 2, 0x82, 0x84, 0, 2, 'a', 'b'}, std::string("ab")},
        {"hidden network", {0, 0, 1, 1, 0x82}, std::string("")},
        {"none", {1, 2, 0x82, 0x84}, std::nullopt},
        {"cut short", {0, 9, 'h', 'o'}, std::nullopt},
        {"cut header", {1}, std::nullopt},
        {"empty", {}, std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Nl80211WifiInfo::ssidFromElements(row.bytes.data(), static_cast<int>(row.bytes.size())),
                  row.expected);
    }
}

TEST(NetlinkWifiInfoTest, AskingTheKernelNeverFails) {
    Nl80211WifiInfo wifi;
    auto interfaces = wifi.supportedInterfaces();
    for (const auto& name : interfaces) EXPECT_FALSE(name.empty());
    // An interface that does not exist is not connected.
    EXPECT_EQ(wifi.currentNetworkInfo("qv-no-such-interface"), std::nullopt);
}

}  // namespace
}  // namespace quorvela
