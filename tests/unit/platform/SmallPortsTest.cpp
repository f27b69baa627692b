#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "platform/LinuxDeviceInfo.h"
#include "platform/ProcessBackgroundTasks.h"
#include "platform/StderrSystemLog.h"
#include "platform/SystemClock.h"
#include "platform/Uuid.h"
#include "quorvela/Location.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

TEST(ProcessBackgroundTasks, NumbersStartAtOneAndExpirationReachesOpenTasks) {
    ProcessBackgroundTasks tasks;
    std::vector<int> expired;
    auto first = tasks.begin([&] { expired.push_back(1); });
    auto second = tasks.begin([&] { expired.push_back(2); });
    auto third = tasks.begin(nullptr);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 2u);
    EXPECT_EQ(third, 3u);
    EXPECT_NE(first, BackgroundTasks::kInvalid);
    tasks.end(first);
    tasks.end(first);  // twice is harmless
    tasks.end(BackgroundTasks::kInvalid);
    EXPECT_EQ(tasks.openCount(), 2u);
    tasks.expireAll();
    EXPECT_EQ(expired, std::vector<int>{2});
    tasks.end(second);
    tasks.end(third);
    EXPECT_EQ(tasks.openCount(), 0u);
    EXPECT_EQ(tasks.begin(nullptr), 4u);  // never reused

    // An expiration handler may end its own task.
    BackgroundTasks::TaskId own = 0;
    own = tasks.begin([&] { tasks.end(own); });
    tasks.end(4);
    tasks.expireAll();
    EXPECT_EQ(tasks.openCount(), 0u);
}

TEST(ProcessBackgroundTasks, ConcurrentBeginsGiveDistinctNumbers) {
    ProcessBackgroundTasks tasks;
    std::mutex mutex;
    std::set<BackgroundTasks::TaskId> ids;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 250; ++i) {
                auto id = tasks.begin(nullptr);
                std::lock_guard lock(mutex);
                ids.insert(id);
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(ids.size(), 1000u);
    EXPECT_EQ(*ids.begin(), 1u);
    EXPECT_EQ(*ids.rbegin(), 1000u);
}

TEST(Uuid, RandomVersionFourUpperCaseAndUnique) {
    const std::regex form("^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}$");
    std::set<std::string> seen;
    for (int i = 0; i < 2000; ++i) {
        auto uuid = randomUuidString();
        ASSERT_TRUE(std::regex_match(uuid, form)) << uuid;
        seen.insert(uuid);
    }
    EXPECT_EQ(seen.size(), 2000u);
}

TEST(StderrSystemLog, SinkReceivesWholeLinesFromManyThreadsAtOrAboveTheMinimum) {
    std::vector<std::pair<LogLevel, std::string>> lines;  // guarded by the log's own lock
    StderrSystemLog log(LogLevel::Info,
                        [&](LogLevel level, const std::string& line) { lines.emplace_back(level, line); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 100; ++i) {
                log.write("thread " + std::to_string(t) + " line " + std::to_string(i));
                log.writeAt(LogLevel::Debug, "filtered");
            }
        });
    for (auto& thread : threads) thread.join();
    log.writeAt(LogLevel::Error, "bad");
    ASSERT_EQ(lines.size(), 401u);
    for (std::size_t i = 0; i < 400; ++i) {
        EXPECT_EQ(lines[i].first, LogLevel::Info) << "a line without a level counts as info";
        EXPECT_TRUE(std::regex_match(lines[i].second, std::regex("thread [0-3] line [0-9]+")));
    }
    EXPECT_EQ(lines.back(), std::make_pair(LogLevel::Error, std::string("bad")));
    EXPECT_STREQ(logLevelName(LogLevel::Warning), "warning");
}

TEST(LinuxDeviceInfo, ReadsOsReleaseAndFallsBackToUname) {
    test::TempDir dir;
    auto file = dir.write("os-release", "# comment\nNAME=\"Debian GNU/Linux\"\nVERSION_ID='12'\nBROKEN\n");
    LinuxDeviceInfo info(file.string());
    EXPECT_EQ(info.systemName(), "Debian GNU/Linux");
    EXPECT_EQ(info.systemVersion(), "12");
    EXPECT_FALSE(info.model().empty());
    EXPECT_FALSE(info.vendorIdentifier());
    LinuxDeviceInfo fallback((dir.path() / "missing").string());
    EXPECT_FALSE(fallback.systemName().empty());
    EXPECT_FALSE(fallback.systemVersion().empty());
}

TEST(SystemClock, IsTheWallClock) {
    double now = SystemClock().now();
    EXPECT_GT(now, 1.7e9);  // after 2023
    EXPECT_LT(now, 4.1e9);  // before 2100
}

TEST(Location, DescriptionShowsPositionAccuracyMotionAndUtcTime) {
    Location fix;
    fix.latitude = 10.4806;
    fix.longitude = -66.9036;
    fix.horizontalAccuracy = 5;
    fix.speed = 1.5;
    fix.course = -1;
    fix.timestamp = 1700000000.9;
    EXPECT_EQ(fix.description(),
              "<+10.48060000,-66.90360000> +/- 5.00m (speed 1.50 mps / course -1.00) @ 2023-11-14 22:13:20 +0000");
    fix.timestamp = std::numeric_limits<double>::quiet_NaN();
    EXPECT_NE(fix.description().find("(invalid time)"), std::string::npos);
    fix.timestamp = 1e300;
    EXPECT_NE(fix.description().find("(invalid time)"), std::string::npos);
}

}  // namespace
}  // namespace quorvela
