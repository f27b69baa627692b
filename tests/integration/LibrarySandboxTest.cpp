// The library against an in-process sandbox over real HTTPS on loopback.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "core/QuorvelaCore.h"
#include "sandbox/Sandbox.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

using Query = std::vector<std::pair<std::string, std::string>>;

class LibrarySandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        options.adminApi = false;
        sandbox.start(options);
        sandbox.createApplication("demo app", "client-1", "secret");
        platform = makePlatform(sandbox.connectTo());
        facade = QuorvelaCore::create(platform);
    }
    void TearDown() override {
        if (platform) platform->dispatcher->waitIdle(std::chrono::seconds(10));
    }

    std::shared_ptr<Platform> makePlatform(const std::string& connectTo) {
        PlatformOptions options;
        options.dataDir = (dir.path() / "data").string();
        options.bundleDir = (dir.path() / "bundle").string();
        options.http.connectTo = connectTo;
        options.http.caFile = sandbox.caFile().string();
        auto made = Platform::makeDefault(options);
        made->systemLog = std::make_shared<CapturingLog>();
        return made;
    }
    void writeConfiguration(Value::Dictionary extra = {}) {
        Value::Dictionary file{{"appName", "demo app"}, {"publicKey", "client-1"}, {"privateKey", "secret"}};
        file.merge(extra);
        writePlist(dir, "bundle/Quorvela-Info.plist", file);
    }
    bool idle() { return platform->dispatcher->waitIdle(std::chrono::seconds(20)); }
    CapturingLog& log() { return capturingLog(*platform); }
    std::string deviceId() { return platform->keyValueStore->get("deviceUniqueID").optionalText().value_or("?"); }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<QuorvelaCore> facade;
};

TEST_F(LibrarySandboxTest, ConfigureSendsInitAndHostEventsArriveWithExactQuery) {
    writeConfiguration();
    facade->configureInstance();
    ASSERT_TRUE(idle());
    facade->logEvent("HELLO WORLD", std::string("x y/z=1"), std::string("spring sale"));
    ASSERT_TRUE(idle());

    auto events = sandbox.analyticsEvents();
    ASSERT_EQ(events.size(), 2u);
    const std::string device = deviceId();
    EXPECT_EQ(events[0].query, (Query{{"deviceid", device},
                                      {"client", "client-1"},
                                      {"app", "demo app"},
                                      {"platform", "IOS"},
                                      {"eventtype", "INIT"},
                                      {"extrainfo", ""},
                                      {"version", "3.6.0"}}));
    EXPECT_EQ(events[1].query, (Query{{"deviceid", device},
                                      {"client", "client-1"},
                                      {"app", "demo app"},
                                      {"platform", "IOS"},
                                      {"eventtype", "HELLO WORLD"},
                                      {"extrainfo", "x y/z=1"},
                                      {"campaign_name", "spring sale"},
                                      {"version", "3.6.0"}}));

    std::vector<std::string> eventPaths;
    for (const auto& request : sandbox.requests())
        if (request.operation == "events") eventPaths.push_back(request.path);
    ASSERT_EQ(eventPaths.size(), 2u);
    EXPECT_EQ(eventPaths[1], "/events/?deviceid=" + device +
                                 "&client=client-1&app=demo%20app&platform=IOS&eventtype=HELLO%20WORLD"
                                 "&extrainfo=x%20y/z=1&campaign_name=spring%20sale&version=3.6.0");
    EXPECT_EQ(log().count("QUORVELA-DEBUG: Analytics: completed successfully"), 2u);
}

TEST_F(LibrarySandboxTest, UserAndLocationTravelWithEvents) {
    writeConfiguration();
    facade->configureInstance();
    ASSERT_TRUE(idle());
    sandbox.clearRecords();
    platform->keyValueStore->set("clientUserID", "alice+bob@example.com");
    Location fix;
    fix.latitude = 10.4806;
    fix.longitude = -66.9036;
    facade->setQuorvelaLastLocation(fix);
    facade->logEvent("TAP", std::nullopt);
    ASSERT_TRUE(idle());

    auto events = sandbox.analyticsEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].keys(), (std::vector<std::string>{"deviceid", "client", "app", "platform", "eventtype",
                                                          "latitude", "longitude", "mobile", "version"}));
    EXPECT_EQ(events[0].value("latitude"), "10.480600");
    EXPECT_EQ(events[0].value("longitude"), "-66.903600");
    EXPECT_EQ(events[0].value("mobile"), "alice+bob@example.com");
}

TEST_F(LibrarySandboxTest, DisabledAnalyticsSendsNothing) {
    writeConfiguration({{"analyticsDisabled", true}});
    facade->configureInstance();
    facade->logEvent("HELLO", std::string("x"));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(sandbox.analyticsEvents().empty());
    EXPECT_FALSE(log().contains("Analytics"));
}

TEST_F(LibrarySandboxTest, PublicIPComesFromTheEchoService) { EXPECT_EQ(facade->publicIP(), "127.0.0.1"); }

TEST_F(LibrarySandboxTest, PublicIPIsNothingWhenTheEchoServiceCannotBeReached) {
    // A port nobody listens on fails at once.
    auto unreachable = QuorvelaCore::create(makePlatform("127.0.0.1:1"));
    EXPECT_EQ(unreachable->publicIP(), std::nullopt);
}

}  // namespace
}  // namespace quorvela::test
