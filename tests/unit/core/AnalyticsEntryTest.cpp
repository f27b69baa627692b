#include <algorithm>

#include "CoreFixture.h"

namespace quorvela::test {
namespace {

class AnalyticsEntryTest : public CoreFixture {
protected:
    AnalyticsEntryTest() { configured(); }
    std::vector<std::string> events() {
        EXPECT_TRUE(idle());
        std::vector<std::string> urls;
        for (const auto& url : http().requests())
            if (url.rfind(eventsUrl(), 0) == 0) urls.push_back(url);
        return urls;
    }
};

TEST_F(AnalyticsEntryTest, AnalyticsSwitchGatesAllThreeForms) {
    struct Case {
        Value stored;
        std::size_t expectedEvents;
    };
    const Case cases[] = {{Value(), 3}, {Value(false), 3}, {Value("NO"), 3}, {Value(true), 0}, {Value("YES"), 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.describe());
        store->set("analyticsDisabled", c.stored);
        forget();
        facade->logEvent("A", std::string("x"), std::string("camp"));
        facade->logEvent("B", std::string("y"));
        facade->logEvent("C", std::string("z"), std::nullopt, nullptr);
        EXPECT_EQ(events().size(), c.expectedEvents);
        EXPECT_EQ(log().count("QUORVELA-DEBUG: Analytics: "), c.expectedEvents);
    }
}

// Each form carries its values and the last location.
TEST_F(AnalyticsEntryTest, FormsCarryTheirValues) {
    Location fix;
    fix.latitude = 10.5;
    fix.longitude = -66.9;
    facade->setQuorvelaLastLocation(fix);
    facade->logEvent("A", std::string("x"), std::string("camp"));
    facade->logEvent("B", std::string("y"));
    facade->logEvent("C", std::nullopt, std::nullopt, ws("ws-9"));
    auto urls = events();
    ASSERT_EQ(urls.size(), 3u);
    std::sort(urls.begin(), urls.end(), [](const std::string& a, const std::string& b) {
        return a.substr(a.find("eventtype=")) < b.substr(b.find("eventtype="));
    });
    EXPECT_NE(urls[0].find("client=client-1&app=demo%20app&platform=IOS&eventtype=A&latitude=10.500000"),
              std::string::npos)
        << urls[0];
    EXPECT_NE(urls[0].find("&extrainfo=x&campaign_name=camp&version=3.6.0"), std::string::npos) << urls[0];
    EXPECT_NE(urls[1].find("eventtype=B&latitude=10.500000&longitude=-66.900000&extrainfo=y&version=3.6.0"),
              std::string::npos)
        << urls[1];
    EXPECT_NE(urls[2].find("deviceid=DEV-1&client=ws-9&"), std::string::npos) << urls[2];
    EXPECT_EQ(urls[2].find("extrainfo"), std::string::npos) << urls[2];
}

TEST_F(AnalyticsEntryTest, OnlyTheCampaignFormLooksUpTheWorkspaceEvenWhenDisabled) {
    store->remove("configureQuorvela");
    store->set("analyticsDisabled", true);
    facade->logEvent("B", std::string("y"));
    facade->logEvent("C", std::string("z"), std::nullopt, nullptr);
    EXPECT_FALSE(log().contains("getWorkspaceWithClientID"));
    facade->logEvent("A", std::string("x"), std::string("camp"));
    EXPECT_EQ(log().lines(),
              std::vector<std::string>{"QUORVELA-DEBUG: getWorkspaceWithClientID" + kCheckConfiguration});
    EXPECT_TRUE(events().empty());
}

TEST_F(AnalyticsEntryTest, PublicIPReturnsWholeBodyOrNothing) {
    struct Case {
        const char* name;
        HttpResult answer;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"body kept whole", FakeHttpClient::reply("2001:db8::1\n"), "2001:db8::1\n"},
        {"server error", FakeHttpClient::reply("oops", 500), std::nullopt},
        {"transport failure", FakeHttpClient::failure(), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        http().answer(ipEchoUrl(), c.answer);
        EXPECT_EQ(facade->publicIP(), c.expected);
        EXPECT_EQ(http().requests().back(), ipEchoUrl());
        EXPECT_EQ(http().lastTimeout(), Quorvela::kPublicIPTimeout);
    }
}

}  // namespace
}  // namespace quorvela::test
