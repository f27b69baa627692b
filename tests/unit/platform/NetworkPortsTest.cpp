// The network ports: the observer rules, the Wi-Fi ports, and the netlink
// watch for real: in a network namespace of its own (so nothing
// of the machine's network is touched), a dummy interface brought up and
// down must post network-change notifications. Needs root (or the right to
// make a network namespace) and the `ip` tool; skipped otherwise.
#include <gtest/gtest.h>
#include <sched.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/NetlinkNetworkMonitor.h"
#include "platform/Nl80211WifiInfo.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "support/CapturingLog.h"

namespace quorvela {
namespace {

struct Counter {
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
    std::string lastName;

    void hear(const std::string& name) {
        std::lock_guard lock(mutex);
        ++count;
        lastName = name;
        changed.notify_all();
    }
    // Waits, bounded only against a hang, until more than `seen` notifications arrived.
    bool waitBeyond(int seen) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return count > seen; });
    }
    int current() {
        std::lock_guard lock(mutex);
        return count;
    }
};

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

TEST(NetlinkNetworkMonitorTest, LinkChangesInANamespacePostNetworkChange) {
    if (!run("ip -V")) GTEST_SKIP() << "the ip tool (iproute2) is not installed";
    int unshareError = 0;
    bool watching = false, heardUp = false, heardDown = false, onlyChangeName = true;
    std::string interface;
    Counter counter;

    // Network namespaces belong to threads: this thread (and the commands it
    // starts) lives in a fresh one, which disappears with the thread.
    std::thread worker([&] {
        if (::unshare(CLONE_NEWNET) != 0) {
            unshareError = errno;
            return;
        }
        auto log = std::make_shared<test::CapturingLog>();
        NetlinkNetworkMonitor monitor(log);
        watching = monitor.isWatching();
        if (!watching) return;
        monitor.addObserver(std::string(NetworkMonitor::kNetworkChange),
                            [&](const std::string& name) { counter.hear(name); });
        interface = run("ip link add qvtest0 type dummy") ? "qvtest0" : "lo";
        int seen = counter.current();
        if (run("ip link set " + interface + " up")) heardUp = counter.waitBeyond(seen);
        seen = counter.current();
        if (run("ip link set " + interface + " down")) heardDown = counter.waitBeyond(seen);
        {
            std::lock_guard lock(counter.mutex);
            onlyChangeName = counter.lastName == NetworkMonitor::kNetworkChange;
        }
        if (interface != "lo") run("ip link del " + interface);
    });
    worker.join();

    if (unshareError == EPERM || unshareError == EACCES)
        GTEST_SKIP() << "making a network namespace needs root: " << std::strerror(unshareError);
    ASSERT_EQ(unshareError, 0) << std::strerror(unshareError);
    ASSERT_TRUE(watching);
    EXPECT_TRUE(heardUp) << "bringing " << interface << " up posted nothing";
    EXPECT_TRUE(heardDown) << "bringing " << interface << " down posted nothing";
    EXPECT_TRUE(onlyChangeName);
}

// The observer rules hold for the hand-driven monitor and for the netlink
// one, whose watch thread must also stop cleanly with it.
TEST(NetworkMonitorTest, DeliversByNameInOrderOfRegistration) {
    std::vector<std::shared_ptr<NetworkMonitor>> monitors = {
        std::make_shared<ManualNetworkMonitor>(),
        std::make_shared<NetlinkNetworkMonitor>(std::make_shared<test::CapturingLog>())};
    for (const auto& monitor : monitors) {
        std::vector<std::string> heard;
        monitor->addObserver(std::string(NetworkMonitor::kNetworkChange),
                             [&](const std::string& n) { heard.push_back("a:" + n); });
        auto all = monitor->addObserver(std::nullopt, [&](const std::string& n) { heard.push_back("all:" + n); });
        monitor->post(NetworkMonitor::kNetworkChange);
        monitor->post("other");
        monitor->removeObserver(all);
        monitor->removeObserver(12345);  // unknown: nothing happens
        monitor->post("other");
        const std::string change = NetworkMonitor::kNetworkChange;
        EXPECT_EQ(heard, (std::vector<std::string>{"a:" + change, "all:" + change, "all:other"}));
        if (auto manual = std::dynamic_pointer_cast<ManualNetworkMonitor>(monitor))
            EXPECT_EQ(manual->observerCount(), 1U);
    }
    monitors.clear();  // the watch thread stops here
}

TEST(NetworkMonitorTest, ObserverMayRemoveItselfAndAddOthersWhileCalled) {
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

// The nl80211 Wi-Fi port: the byte decoding it does itself, and that asking a
// machine without Wi-Fi (like most test machines) answers "no interface".
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
