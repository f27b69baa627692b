// The netlink watch for real: in a network namespace of its own (so nothing
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

#include "platform/NetlinkNetworkMonitor.h"
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

TEST(NetlinkNetworkMonitorTest, HandPostsReachObserversAndStopIsClean) {
    auto log = std::make_shared<test::CapturingLog>();
    Counter counter;
    {
        NetlinkNetworkMonitor monitor(log);
        auto id = monitor.addObserver(std::string("custom"), [&](const std::string& name) { counter.hear(name); });
        monitor.post("custom");
        monitor.post("other");
        monitor.removeObserver(id);
        monitor.post("custom");
    }  // the watch thread stops here
    EXPECT_EQ(counter.current(), 1);
}

}  // namespace
}  // namespace quorvela
