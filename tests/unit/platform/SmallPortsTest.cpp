// The small ports: background tasks, identifiers, the log, the device, the
// clock, the dispatcher and the resource bundle.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <numeric>
#include <regex>
#include <set>
#include <thread>

#include "platform/DirectoryBundle.h"
#include "platform/LinuxDeviceInfo.h"
#include "platform/ProcessBackgroundTasks.h"
#include "platform/StderrSystemLog.h"
#include "platform/StringsFile.h"
#include "platform/SystemClock.h"
#include "platform/ThreadDispatcher.h"
#include "platform/Uuid.h"
#include "platform/ValueConversions.h"
#include "quorvela/Location.h"
#include "support/TestSupport.h"
#include "support/ValuePrinter.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;

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

TEST(ThreadDispatcher, MainQueueRunsInOrderOnOneThreadThatIsTheMainThread) {
    ThreadDispatcher dispatcher;
    std::vector<int> order;  // touched only by main-queue jobs
    std::atomic<int> onMain{0};
    std::set<std::thread::id> threads;
    for (int i = 0; i < 200; ++i)
        dispatcher.main([&, i] {
            order.push_back(i);
            threads.insert(std::this_thread::get_id());
            if (dispatcher.isMainThread()) ++onMain;
        });
    ASSERT_TRUE(dispatcher.waitIdle(10s));
    std::vector<int> expected(200);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(threads.size(), 1u);
    EXPECT_EQ(onMain, 200);
    EXPECT_FALSE(dispatcher.isMainThread());
}

TEST(ThreadDispatcher, GlobalQueueRunsJobsConcurrentlyOffTheMainThread) {
    ThreadDispatcher dispatcher(3);
    EXPECT_EQ(dispatcher.globalThreadCount(), 3u);
    EXPECT_GE(ThreadDispatcher().globalThreadCount(), 2u);
    // Three jobs that each wait for the others can only finish when they run at once.
    std::mutex mutex;
    std::condition_variable cv;
    int arrived = 0;
    std::atomic<int> finished{0}, onMain{0};
    for (int i = 0; i < 3; ++i)
        dispatcher.global([&] {
            if (dispatcher.isMainThread()) ++onMain;
            std::unique_lock lock(mutex);
            ++arrived;
            cv.notify_all();
            if (cv.wait_for(lock, 10s, [&] { return arrived == 3; })) ++finished;
        });
    ASSERT_TRUE(dispatcher.waitIdle(20s));
    EXPECT_EQ(finished, 3);
    EXPECT_EQ(onMain, 0);
}

TEST(ThreadDispatcher, WaitIdleCoversQueuedRunningJobsAndActivities) {
    ThreadDispatcher dispatcher;
    EXPECT_TRUE(dispatcher.waitIdle(0ms));

    std::promise<void> gate;
    dispatcher.global([opened = gate.get_future().share()] { opened.wait(); });
    EXPECT_FALSE(dispatcher.waitIdle(30ms));  // a job is running
    gate.set_value();
    EXPECT_TRUE(dispatcher.waitIdle(10s));

    dispatcher.beginActivity();
    EXPECT_FALSE(dispatcher.waitIdle(30ms));  // a transfer is in flight
    // Work queued by the finishing activity is waited for too.
    std::atomic<bool> ran{false};
    dispatcher.global([&] {
        std::this_thread::sleep_for(20ms);
        dispatcher.main([&] { ran = true; });
        dispatcher.endActivity();
    });
    EXPECT_TRUE(dispatcher.waitIdle(10s));
    EXPECT_TRUE(ran);

    dispatcher.endActivity();  // an unbalanced end must not wrap the count
    EXPECT_TRUE(dispatcher.waitIdle(0ms));
}

TEST(ThreadDispatcher, AThrowingJobDoesNotStopTheQueue) {
    ThreadDispatcher dispatcher;
    std::atomic<int> after{0};
    dispatcher.main([] { throw std::runtime_error("boom"); });
    dispatcher.main([&] { ++after; });
    dispatcher.global([] { throw 42; });
    dispatcher.global([&] { ++after; });
    ASSERT_TRUE(dispatcher.waitIdle(10s));
    EXPECT_EQ(after, 2);
}

TEST(ThreadDispatcher, DestructionDrainsQueuedWork) {
    std::atomic<int> ran{0};
    {
        ThreadDispatcher dispatcher(2);
        for (int i = 0; i < 50; ++i) {
            dispatcher.global([&] { ++ran; });
            dispatcher.main([&] { ++ran; });
        }
    }
    EXPECT_EQ(ran, 100);
}

TEST(ThreadDispatcher, LastReferenceDroppedInsideAJobDoesNotDeadlock) {
    auto dispatcher = std::make_shared<ThreadDispatcher>(2);
    std::atomic<bool> done{false};
    std::weak_ptr<ThreadDispatcher> weak = dispatcher;
    dispatcher->global([keep = dispatcher, &done]() mutable {
        keep.reset();
        done = true;
    });
    dispatcher.reset();  // the job now holds the last reference and destroys it on a pool thread
    // The reference count drops before the destructor returns and the job goes on.
    for (int i = 0; i < 1000 && !(weak.expired() && done); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(done);
}

const Value::Dictionary kConfig = {{"appName", Value("demo")}, {"count", Value(3)}, {"on", Value(true)}};

TEST(DirectoryBundle, ReadsXmlAndBinaryDictionariesAndNothingElse) {
    test::TempDir dir;
    dir.write("Xml.plist", *xmlPlistFromValue(Value(kConfig)));
    dir.write("Bin.plist", *binaryPlistFromValue(Value(kConfig)));
    dir.write("NoType", *xmlPlistFromValue(Value(kConfig)));
    dir.write("Array.plist", *xmlPlistFromValue(Value(Value::Array{Value(1)})));
    dir.write("Text.plist", *xmlPlistFromValue(Value("just text")));
    dir.write("Broken.plist", "<?xml version=\"1.0\"?><plist><dict><key>a</key><string>x</dict>");
    dir.write("Truncated.plist", binaryPlistFromValue(Value(kConfig))->substr(0, 20));
    dir.write("Empty.plist", "");
    std::filesystem::create_directory(dir.path() / "Folder.plist");
    DirectoryBundle bundle(dir.path());
    EXPECT_EQ(bundle.pathForResource("Xml", "plist"), (dir.path() / "Xml.plist").string());
    EXPECT_EQ(bundle.dictionaryForResource("Xml", "plist"), kConfig);
    EXPECT_EQ(bundle.dictionaryForResource("Bin", "plist"), kConfig);
    EXPECT_EQ(bundle.dictionaryForResource("NoType", ""), kConfig);
    for (const char* name : {"Array", "Text", "Broken", "Truncated", "Empty", "Folder", "Missing"})
        EXPECT_FALSE(bundle.dictionaryForResource(name, "plist")) << name;
    EXPECT_FALSE(bundle.pathForResource("Missing", "plist"));
    EXPECT_FALSE(bundle.pathForResource("Folder", "plist"));
    // Resource names never lead out of the folder.
    dir.write("inner/Secret.plist", *xmlPlistFromValue(Value(kConfig)));
    DirectoryBundle inner(dir.path() / "inner");
    EXPECT_TRUE(inner.dictionaryForResource("Secret", "plist"));
    EXPECT_FALSE(inner.pathForResource("../Xml", "plist"));
    EXPECT_FALSE(bundle.pathForResource("inner/Secret", "plist"));
    EXPECT_FALSE(bundle.pathForResource("..", ""));
}

TEST(DirectoryBundle, LocalizedStringsFallBackToTheKey) {
    test::TempDir dir;
    dir.write("Localizable.strings",
              "/* headline */\n\"Workspace\" = \"Espacio de trabajo\";\n// note\n"
              "\"Quote\" = \"say \\\"hi\\\"\\n\";\n");
    DirectoryBundle bundle(dir.path());
    EXPECT_EQ(bundle.localizedString("Workspace"), "Espacio de trabajo");
    EXPECT_EQ(bundle.localizedString("Quote"), "say \"hi\"\n");
    EXPECT_EQ(bundle.localizedString("WorkspaceSubscription"), "WorkspaceSubscription");

    test::TempDir noTable;
    EXPECT_EQ(DirectoryBundle(noTable.path()).localizedString("Workspace"), "Workspace");

    test::TempDir lproj;
    lproj.write("en.lproj/Localizable.strings", "\"Workspace\" = \"Arbeitsbereich\";");
    EXPECT_EQ(DirectoryBundle(lproj.path()).localizedString("Workspace"), "Arbeitsbereich");

    test::TempDir broken;
    broken.write("Localizable.strings", "\"Workspace\" = \"unterminated");
    EXPECT_EQ(DirectoryBundle(broken.path()).localizedString("Workspace"), "Workspace");
}

TEST(StringsFile, ParsesTheClassicFormat) {
    struct Case {
        std::string text;
        std::optional<StringsTable> table;
    };
    const std::vector<Case> cases = {
        {"", StringsTable{}},
        {"/* only a comment */ // and another", StringsTable{}},
        {"\"a\" = \"b\";", StringsTable{{"a", "b"}}},
        {"a = b; \"c\"=\"d\" ;", StringsTable{{"a", "b"}, {"c", "d"}}},
        {"\"self\";", StringsTable{{"self", "self"}}},
        {"\"e\" = \"\\\\ \\t \\U00e9 \\U0041\";", StringsTable{{"e", "\\ \t \xc3\xa9 A"}}},
        {"\"smile\" = \"\\UD83D\\UDE00\";", StringsTable{{"smile", "\xf0\x9f\x98\x80"}}},
        {"\xEF\xBB\xBF\"bom\" = \"ok\";", StringsTable{{"bom", "ok"}}},
        {std::string("\xFF\xFE\"\0k\0\"\0=\0\"\0v\0\"\0;\0", 18), StringsTable{{"k", "v"}}},
        {std::string("\xFE\xFF\0\"\0k\0\"\0=\0\"\0v\0\"\0;", 18), StringsTable{{"k", "v"}}},
        {"\"a\" = \"b\"", std::nullopt},
        {"\"a\" \"b\";", std::nullopt},
        {"\"a\" = ;", std::nullopt},
        {"/* open comment", std::nullopt},
        {"\"a\" = \"\\U12\";", std::nullopt},
        {"= \"b\";", std::nullopt},
        {std::string("\xFF\xFE\"", 3), std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseStringsFile(c.text), c.table) << c.text;
}

}  // namespace
}  // namespace quorvela
