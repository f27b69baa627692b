// A real network change reaches the library: in a network namespace of its
// own, bringing an interface up makes the netlink monitor post the
// network-change notification, and the facade records the Wi-Fi connection.
// Needs root (or the right to make a network namespace) and the `ip` tool.
#include <gtest/gtest.h>
#include <sched.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "core/QuorvelaCore.h"
#include "location/WifiConnection.h"
#include "platform/NetlinkNetworkMonitor.h"
#include "protocol/ServiceEndpoints.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST(WifiNetlinkTest, LinkChangeInANamespaceRecordsTheConnection) {
    if (!run("ip -V")) GTEST_SKIP() << "the ip tool (iproute2) is not installed";
    test::TempDir dir;
    auto platform = test::makeTestPlatform(dir);
    auto wifi = std::make_shared<ManualWifiInfo>();
    Value::Dictionary home{{"SSID", Value("home")}, {"BSSID", Value("aa:bb:cc:dd:ee:01")}};
    wifi->setCurrentNetwork(home);
    platform->wifiInfo = wifi;
    test::fakeHttp(*platform).answer(ipEchoUrl(), test::FakeHttpClient::reply("192.0.2.1"));
    test::fakeHttp(*platform).answer(eventsUrl(), test::FakeHttpClient::reply(""));

    int unshareError = 0;
    std::optional<std::string> recorded;
    std::thread worker([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            unshareError = errno;
            return;
        }
        platform->networkMonitor = std::make_shared<NetlinkNetworkMonitor>(platform->systemLog);
        auto facade = QuorvelaCore::create(platform);
        facade->startNetworkChangeWatch();
        if (!run("ip link set lo up")) return;
        // Bounded only against a hang.
        for (int i = 0; i < 1000 && !recorded; ++i) {
            platform->dispatcher->waitIdle(std::chrono::seconds(1));
            recorded = platform->keyValueStore->get("lastWIFI").optionalText();
            if (!recorded) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        platform->networkMonitor.reset();  // stops the watch before the namespace goes
    });
    worker.join();
    if (unshareError == EPERM || unshareError == EACCES)
        GTEST_SKIP() << "making a network namespace needs root: " << std::strerror(unshareError);
    ASSERT_EQ(unshareError, 0) << std::strerror(unshareError);
    EXPECT_EQ(recorded, WifiConnection::fromRecord(home, "192.0.2.1").text());
    EXPECT_EQ(test::fakeHttp(*platform).requestCount(eventsUrl()), 1U);
}

}  // namespace
}  // namespace quorvela
