#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/EventLogger.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;

Location at(double latitude, double longitude) {
    Location location;
    location.latitude = latitude;
    location.longitude = longitude;
    location.horizontalAccuracy = 5.0;
    return location;
}

class EventLoggerTest : public ::testing::Test {
protected:
    EventLoggerTest() : platform(test::makeTestPlatform(dir)) {
        credentials.appName = "Demo";
        credentials.clientID = "client-1";
        credentials.apiClientPrivateKey = "secret";
    }
    std::shared_ptr<EventLogger> logger(std::optional<Location> location = std::nullopt) {
        return std::make_shared<EventLogger>(platform, credentials, location);
    }
    std::shared_ptr<WorkspaceRecord> workspace(const std::optional<std::string>& clientId) {
        auto ws = WorkspaceRecord::create(platform);
        ws->setClientId(clientId);
        return ws;
    }
    void store(const std::string& key, const Value& value) { platform->keyValueStore->set(key, value); }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    ClientCredentials credentials;
};

const std::string kHead = eventsUrl();

TEST_F(EventLoggerTest, QueryLayout) {
    struct Case {
        std::string name;
        std::map<std::string, Value> stored;
        std::optional<Location> location;
        std::optional<std::string> type, extra, campaign;
        std::optional<std::optional<std::string>> workspaceClient;  // outer empty: no workspace
        std::string query;
    };
    const Case cases[] = {
        {"nothing optional",
         {{"deviceUniqueID", "DEV-1"}},
         std::nullopt,
         "INIT",
         std::nullopt,
         std::nullopt,
         std::nullopt,
         "deviceid=DEV-1&client=client-1&app=Demo&platform=IOS&eventtype=INIT&version=3.6.0"},
        {"everything",
         {{"deviceUniqueID", "DEV-1"}, {"clientUserID", "+58 412"}, {"ipAddress", "10.0.0.7"}},
         at(10.5, -66.9),
         "REGION_ENTER",
         "a&b=c d",
         "Spring 50%",
         std::optional<std::string>("ws-9"),
         "deviceid=DEV-1&client=ws-9&app=Demo&platform=IOS&eventtype=REGION_ENTER"
         "&latitude=10.500000&longitude=-66.900000&mobile=+58%20412&extrainfo=a&b=c%20d&address=10.0.0.7"
         "&campaign_name=Spring%2050%25&version=3.6.0"},
        {"empty values are sent empty",
         {{"deviceUniqueID", "DEV-1"}, {"clientUserID", ""}, {"ipAddress", ""}},
         std::nullopt,
         "",
         "",
         "",
         std::nullopt,
         "deviceid=DEV-1&client=client-1&app=Demo&platform=IOS&eventtype=&mobile=&extrainfo=&address="
         "&campaign_name=&version=3.6.0"},
        {"absent identifiers and a workspace without client id",
         {},
         std::nullopt,
         std::nullopt,
         std::nullopt,
         std::nullopt,
         std::optional<std::string>(std::nullopt),
         "deviceid=(null)&client=(null)&app=Demo&platform=IOS&eventtype=(null)&version=3.6.0"},
        {"device id and client are not encoded",
         {{"deviceUniqueID", "a b/c?d"}},
         std::nullopt,
         "T",
         std::nullopt,
         std::nullopt,
         std::optional<std::string>("w x&y"),
         "deviceid=a b/c?d&client=w x&y&app=Demo&platform=IOS&eventtype=T&version=3.6.0"},
        {"non-ASCII and reserved marks",
         {{"deviceUniqueID", "D"}},
         at(0.0, 179.1234567),
         "PUSH RECEIVED",
         "caf\xC3\xA9;#?",
         "/+=:@",
         std::nullopt,
         "deviceid=D&client=client-1&app=Demo&platform=IOS&eventtype=PUSH%20RECEIVED"
         "&latitude=0.000000&longitude=179.123457&extrainfo=caf%C3%A9%3B%23%3F&campaign_name=/+=:@&version=3.6.0"},
        {"a stored number is written as digits",
         {{"deviceUniqueID", "D"}, {"clientUserID", 5551234}},
         std::nullopt,
         "E",
         std::nullopt,
         std::nullopt,
         std::nullopt,
         "deviceid=D&client=client-1&app=Demo&platform=IOS&eventtype=E&mobile=5551234&version=3.6.0"},
    };
    for (const auto& c : cases) {
        for (const char* key : {"deviceUniqueID", "clientUserID", "ipAddress"}) platform->keyValueStore->remove(key);
        for (const auto& [key, value] : c.stored) store(key, value);
        std::shared_ptr<WorkspaceRecord> ws;
        if (c.workspaceClient) ws = workspace(*c.workspaceClient);
        EXPECT_EQ(logger(c.location)->eventUrl(c.type, c.extra, c.campaign, ws), kHead + c.query) << c.name;
    }
}

TEST_F(EventLoggerTest, AppNameIsEncoded) {
    credentials.appName = "My App\xC3\xA9";
    store("deviceUniqueID", "D");
    EXPECT_EQ(logger()->eventUrl("E", std::nullopt, std::nullopt, nullptr),
              kHead + "deviceid=D&client=client-1&app=My%20App%C3%A9&platform=IOS&eventtype=E&version=3.6.0");
}

TEST_F(EventLoggerTest, SendsOneUnsignedRequestAndLogsIt) {
    store("deviceUniqueID", "D");
    test::fakeHttp(*platform).answer(kHead, FakeHttpClient::reply("ignored <not xml"));
    auto sender = logger();
    const std::string url = sender->eventUrl("INIT", std::nullopt, std::nullopt, nullptr);
    std::weak_ptr<EventLogger> weak = sender;
    sender->logEvent("INIT", std::nullopt);
    sender.reset();
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));

    EXPECT_EQ(test::fakeHttp(*platform).requests(), std::vector<std::string>{url});
    const auto lines = test::capturingLog(*platform).lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "QUORVELA-DEBUG: Analytics: " + url);
    EXPECT_EQ(lines[1], "QUORVELA-DEBUG: Analytics: completed successfully");
    EXPECT_TRUE(weak.expired());  // the request let go of its delegate
}

TEST_F(EventLoggerTest, FailureIsSilentAndCompletionTellsTheOutcome) {
    std::atomic<int> results[3] = {0, 0, 0};
    auto completion = [&](unsigned long result) { results[result < 3 ? result : 1]++; };

    test::fakeHttp(*platform).answer(kHead, FakeHttpClient::failure("Connection refused"));
    logger()->logEvent("ERROR", "x", std::nullopt, nullptr, completion);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_EQ(test::capturingLog(*platform).count("completed"), 0u);
    EXPECT_EQ(test::capturingLog(*platform).count("Connection refused"), 0u);

    test::fakeHttp(*platform).answer(kHead, FakeHttpClient::reply(""));
    logger()->logEvent("ERROR", "x", std::nullopt, nullptr, completion);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_EQ(results[0].load(), 1);
    EXPECT_EQ(results[2].load(), 1);
    EXPECT_EQ(results[1].load(), 0);
}

TEST_F(EventLoggerTest, ShortFormsLeaveOutCampaignAndWorkspace) {
    store("deviceUniqueID", "D");
    test::fakeHttp(*platform).answer(kHead, FakeHttpClient::reply(""));
    logger()->logEvent("A", "extra");
    logger()->logEvent("B", std::nullopt, "camp", workspace("ws-2"));
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    auto requests = test::fakeHttp(*platform).requests();
    ASSERT_EQ(requests.size(), 2u);
    std::sort(requests.begin(), requests.end());
    EXPECT_EQ(requests[0], kHead +
                               "deviceid=D&client=client-1&app=Demo&platform=IOS&eventtype=A&extrainfo=extra"
                               "&version=3.6.0");
    EXPECT_EQ(requests[1], kHead +
                               "deviceid=D&client=ws-2&app=Demo&platform=IOS&eventtype=B&campaign_name=camp"
                               "&version=3.6.0");
}

TEST_F(EventLoggerTest, DebugMessageFollowsTheLoggingSwitch) {
    struct Case {
        std::optional<Value> disabled;
        bool written;
    };
    const Case cases[] = {
        {std::nullopt, true}, {Value(false), true}, {Value(true), false}, {Value("YES"), false},
        {Value("no"), true},  {Value(0), true},     {Value(1), false},
    };
    for (const auto& c : cases) {
        test::capturingLog(*platform).clear();
        if (c.disabled) {
            store("LoggingDisabled", *c.disabled);
        } else {
            platform->keyValueStore->remove("LoggingDisabled");
        }
        EventLogger::debugMessage(*platform, "hello %@ 100%");
        const auto lines = test::capturingLog(*platform).lines();
        if (c.written) {
            EXPECT_EQ(lines, std::vector<std::string>{"QUORVELA-DEBUG: hello %@ 100%"});
        } else {
            EXPECT_TRUE(lines.empty()) << lines.front();
        }
    }
}

}  // namespace
}  // namespace quorvela
