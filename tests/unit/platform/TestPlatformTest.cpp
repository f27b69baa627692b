#include <gtest/gtest.h>

#include <atomic>

#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;

TEST(TestPlatform, FakeHttpAnswersByLongestPrefixAsynchronouslyAndRecordsUrls) {
    TempDir dir;
    auto platform = makeTestPlatform(dir);
    auto& http = fakeHttp(*platform);
    http.answer("https://a.example/", FakeHttpClient::reply("short"));
    http.answer("https://a.example/long/", FakeHttpClient::reply("long", 201));
    http.answer("https://h.example/", [](const std::string& url) { return FakeHttpClient::reply("echo " + url); });

    std::mutex mutex;
    std::vector<std::string> bodies;
    std::atomic<bool> onMain{false};
    auto collect = [&](HttpResult r) {
        if (platform->dispatcher->isMainThread()) onMain = true;
        std::lock_guard lock(mutex);
        bodies.push_back(std::to_string(r.ok) + ":" + std::to_string(r.status) + ":" + r.body + r.error);
    };
    http.get("https://a.example/x", 1s, collect);
    http.get("https://a.example/long/y", 1s, collect);
    http.get("https://h.example/z", 1s, collect);
    http.get("https://none.example/", 1s, collect);
    ASSERT_TRUE(platform->dispatcher->waitIdle(5s));
    EXPECT_FALSE(onMain);
    std::sort(bodies.begin(), bodies.end());
    EXPECT_EQ(bodies, (std::vector<std::string>{"0:0:no answer for this URL", "1:200:echo https://h.example/z",
                                                "1:200:short", "1:201:long"}));
    EXPECT_EQ(http.requests(), (std::vector<std::string>{"https://a.example/x", "https://a.example/long/y",
                                                         "https://h.example/z", "https://none.example/"}));
    EXPECT_EQ(http.requestCount("https://a.example/"), 2u);
    EXPECT_EQ(http.getBlocking("https://a.example/long/q", 1s).body, "long");
}

TEST(TestPlatform, WaitIdleCoversAnswersStillToBeDelivered) {
    TempDir dir;
    auto platform = makeTestPlatform(dir);
    std::atomic<bool> release{false};
    std::atomic<bool> delivered{false};
    fakeHttp(*platform).answer("https://slow/", [&](const std::string&) {
        while (!release) std::this_thread::sleep_for(1ms);
        return FakeHttpClient::reply("late");
    });
    fakeHttp(*platform).get("https://slow/1", 1s, [&](HttpResult) { delivered = true; });
    EXPECT_FALSE(platform->dispatcher->waitIdle(50ms));
    release = true;
    EXPECT_TRUE(platform->dispatcher->waitIdle(5s));
    EXPECT_TRUE(delivered);
}

TEST(TestPlatform, PortsAreUsableAndBundleReadsTheTempFolder) {
    TempDir dir;
    auto platform = makeTestPlatform(dir);
    writePlist(dir, "Quorvela-Info.plist", {{"appName", "demo"}, {"n", 3}});
    auto dict = platform->bundle->dictionaryForResource("Quorvela-Info", "plist");
    ASSERT_TRUE(dict);
    EXPECT_EQ(dict->at("appName"), Value("demo"));
    EXPECT_EQ(dict->at("n"), Value(3));

    platform->keyValueStore->set("k", Value(5));
    EXPECT_EQ(platform->keyValueStore->get("k"), Value(5));
    platform->keyValueStore->set("k", Value());
    EXPECT_FALSE(platform->keyValueStore->contains("k"));

    auto& secure = memorySecureStore(*platform);
    EXPECT_EQ(secure.addItem("a", "s", {1, 2}), SecureStore::kSuccess);
    EXPECT_EQ(secure.addItem("a", "s", {3}), SecureStore::kDuplicateItem);
    secure.setFailStatus(SecureStore::kIoError);
    std::vector<std::uint8_t> out;
    EXPECT_EQ(secure.copyItem("a", "s", out), SecureStore::kIoError);
    secure.setFailStatus(SecureStore::kSuccess);
    EXPECT_EQ(secure.copyItem("a", "s", out), SecureStore::kSuccess);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2}));

    fakeClock(*platform).advance(2.5);
    EXPECT_DOUBLE_EQ(platform->clock->now(), FakeClock::kStart + 2.5);
    platform->systemLog->write("hello there");
    EXPECT_TRUE(capturingLog(*platform).contains("hello"));
}

}  // namespace
}  // namespace quorvela::test
