#include <map>

#include "protocol/EventLogger.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

using Text = std::optional<std::string>;

Location at(double latitude, double longitude) {
    Location location;
    location.latitude = latitude;
    location.longitude = longitude;
    location.horizontalAccuracy = 5.0;
    return location;
}

class EventLoggerTest : public LoaderTest {
protected:
    std::shared_ptr<EventLogger> logger(std::optional<Location> location = std::nullopt) {
        return std::make_shared<EventLogger>(platform, credentials, location);
    }
    std::shared_ptr<WorkspaceRecord> workspace(const Text& clientId) {
        auto made = WorkspaceRecord::create(platform);
        made->setClientId(clientId);
        return made;
    }
    // The query between the fixed head and "&version=3.6.0".
    static std::string url(const std::string& query) { return eventsUrl() + query + "&version=3.6.0"; }
};

struct Layout {
    std::string name;
    std::map<std::string, Value> stored;
    std::optional<Location> location;
    Text type, extra, campaign;
    std::optional<Text> workspaceClient;  // outer empty: no workspace
    std::string query;
};
Layout layout(std::string name, std::map<std::string, Value> stored, std::optional<Location> location, Text type,
              Text extra, Text campaign, std::optional<Text> workspaceClient, std::string query) {
    return {name, stored, location, type, extra, campaign, workspaceClient, query};
}

TEST_F(EventLoggerTest, QueryLayout) {
    const Layout cases[] = {
        layout("nothing optional", {{"deviceUniqueID", "DEV-1"}}, std::nullopt, "INIT", std::nullopt, std::nullopt,
               std::nullopt, "deviceid=DEV-1&client=client-1&app=Demo&platform=IOS&eventtype=INIT"),
        layout("everything", {{"deviceUniqueID", "DEV-1"}, {"clientUserID", "+58 412"}, {"ipAddress", "10.0.0.7"}},
               at(10.5, -66.9), "REGION_ENTER", "a&b=c d", "Spring 50%", Text("ws-9"),
               "deviceid=DEV-1&client=ws-9&app=Demo&platform=IOS&eventtype=REGION_ENTER"
               "&latitude=10.500000&longitude=-66.900000&mobile=+58%20412&extrainfo=a&b=c%20d&address=10.0.0.7"
               "&campaign_name=Spring%2050%25"),
        layout("empty values are sent empty", {{"deviceUniqueID", "DEV-1"}, {"clientUserID", ""}, {"ipAddress", ""}},
               std::nullopt, "", "", "", std::nullopt,
               "deviceid=DEV-1&client=client-1&app=Demo&platform=IOS&eventtype=&mobile=&extrainfo=&address="
               "&campaign_name="),
        layout("absent identifiers and a workspace without client id", {}, std::nullopt, std::nullopt, std::nullopt,
               std::nullopt, Text(std::nullopt),
               "deviceid=(null)&client=(null)&app=Demo&platform=IOS&eventtype=(null)"),
        layout("device id and client are not encoded", {{"deviceUniqueID", "a b/c?d"}}, std::nullopt, "T", std::nullopt,
               std::nullopt, Text("w x&y"), "deviceid=a b/c?d&client=w x&y&app=Demo&platform=IOS&eventtype=T"),
        layout("non-ASCII and reserved marks", {{"deviceUniqueID", "D"}}, at(0.0, 179.1234567), "PUSH RECEIVED",
               "caf\xC3\xA9;#?", "/+=:@", std::nullopt,
               "deviceid=D&client=client-1&app=Demo&platform=IOS&eventtype=PUSH%20RECEIVED"
               "&latitude=0.000000&longitude=179.123457&extrainfo=caf%C3%A9%3B%23%3F&campaign_name=/+=:@"),
        layout("a stored number is written as digits", {{"deviceUniqueID", "D"}, {"clientUserID", 5551234}},
               std::nullopt, "E", std::nullopt, std::nullopt, std::nullopt,
               "deviceid=D&client=client-1&app=Demo&platform=IOS&eventtype=E&mobile=5551234"),
    };
    for (const auto& c : cases) {
        for (const char* key : {"deviceUniqueID", "clientUserID", "ipAddress"}) platform->keyValueStore->remove(key);
        for (const auto& [key, value] : c.stored) platform->keyValueStore->set(key, value);
        const auto ws = c.workspaceClient ? workspace(*c.workspaceClient) : nullptr;
        EXPECT_EQ(logger(c.location)->eventUrl(c.type, c.extra, c.campaign, ws), url(c.query)) << c.name;
    }
    credentials.appName = "My App\xC3\xA9";
    EXPECT_EQ(logger()->eventUrl("E", std::nullopt, std::nullopt, nullptr),
              url("deviceid=D&client=client-1&app=My%20App%C3%A9&platform=IOS&eventtype=E&mobile=5551234"));
}

// The short forms hand their values on and leave out the rest.
TEST_F(EventLoggerTest, EachFormSendsOneUnsignedRequestAndLogsIt) {
    http().answer(eventsUrl(), FakeHttpClient::reply("ignored <not xml"));
    auto sender = logger();
    const auto ws = workspace("ws-2");
    const std::string sent = sender->eventUrl("A", "extra", std::nullopt, nullptr);
    const std::string other = sender->eventUrl("B", std::nullopt, "camp", ws);
    std::weak_ptr<EventLogger> weak = sender;
    run([&] {
        sender->logEvent("A", "extra");
        sender.reset();
    });
    EXPECT_EQ(http().requests(), std::vector<std::string>{sent});
    EXPECT_EQ(log().lines(), (std::vector<std::string>{"QUORVELA-DEBUG: Analytics: " + sent,
                                                       "QUORVELA-DEBUG: Analytics: completed successfully"}));
    EXPECT_TRUE(weak.expired());  // the request let go of its delegate
    http().clearRequests();
    run([&] { logger()->logEvent("B", std::nullopt, "camp", ws); });
    EXPECT_EQ(http().requests(), std::vector<std::string>{other});
}

TEST_F(EventLoggerTest, FailureIsSilentAndCompletionTellsTheOutcome) {
    http().answer(eventsUrl(), FakeHttpClient::failure("Connection refused"));
    EXPECT_EQ(run([&] { logger()->logEvent("ERROR", "x", std::nullopt, nullptr, recorder->completion()); }),
              Events{"completion 2"});
    EXPECT_EQ(log().count("completed"), 0u);
    EXPECT_EQ(log().count("Connection refused"), 0u);
    http().answer(eventsUrl(), FakeHttpClient::reply(""));
    EXPECT_EQ(run([&] { logger()->logEvent("ERROR", "x", std::nullopt, nullptr, recorder->completion()); }),
              Events{"completion 0"});
}

TEST_F(EventLoggerTest, DebugMessageFollowsTheLoggingSwitch) {
    const std::pair<std::optional<Value>, bool> cases[] = {
        {std::nullopt, true}, {Value(false), true}, {Value(true), false}, {Value("YES"), false},
        {Value("no"), true},  {Value(0), true},     {Value(1), false},
    };
    for (const auto& [disabled, written] : cases) {
        log().clear();
        if (disabled) platform->keyValueStore->set("LoggingDisabled", *disabled);
        else platform->keyValueStore->remove("LoggingDisabled");
        EventLogger::debugMessage(*platform, "hello %@ 100%");
        EXPECT_EQ(log().lines(),
                  written ? std::vector<std::string>{"QUORVELA-DEBUG: hello %@ 100%"} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace quorvela::test
