#include <algorithm>
#include "CoreFixture.h"

namespace quorvela::test {
namespace {

class InitQuorvelaTest : public CoreFixture {
protected:
    InitQuorvelaTest() {
        store->set("configureQuorvela", "YES");
        facade->setClientID("client-1");
        facade->setAppName("demo");
    }
};

TEST_F(InitQuorvelaTest, PhoneNumberBecomesUserOnlyWithoutUser) {
    struct Case {
        const char* name;
        Value phone, user, expectedUser;
    };
    const Case cases[] = {
        {"phone only", Value("+58212555"), Value(), Value("+58212555")},
        {"both", Value("+58212555"), Value("alice"), Value("alice")},
        {"user only", Value(), Value("alice"), Value("alice")},
        {"neither", Value(), Value(), Value()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store->set("clientPhoneNumber", c.phone);
        store->set("clientUserID", c.user);
        facade->initQuorvela();
        EXPECT_EQ(stored("clientUserID"), c.expectedUser);
        EXPECT_EQ(stored("clientPhoneNumber"), c.phone);
    }
    ASSERT_TRUE(idle());
}

TEST_F(InitQuorvelaTest, DeviceIdentifierMadeOnlyWhenAbsentOrEmpty) {
    store->set("deviceUniqueID", "");
    facade->initQuorvela();
    auto made = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(made);
    EXPECT_FALSE(made->empty());
    EXPECT_EQ(log().count("QUORVELA-DEBUG: deviceUniqueID: " + *made), 1u);

    store->set("deviceUniqueID", "KEEP-ME");
    log().clear();
    facade->initQuorvela();
    EXPECT_EQ(stored("deviceUniqueID"), Value("KEEP-ME"));
    EXPECT_FALSE(log().contains("deviceUniqueID:"));
    ASSERT_TRUE(idle());
    // The two INIT events travel on the concurrent queue, so either may be sent last.
    const auto requests = http().requests();
    EXPECT_EQ(std::count_if(requests.begin(), requests.end(),
                            [](const std::string& url) { return url.find("deviceid=KEEP-ME") != std::string::npos; }),
              1);
}

TEST_F(InitQuorvelaTest, AUserLogsInitAndOnlyAValidatedOneMakesTheFacadeReady) {
    store->set("clientUserID", "alice");
    for (const bool validated : {false, true}) {
        SCOPED_TRACE(validated);
        if (validated) store->set("validated", "YES");
        http().clearRequests();
        facade->initQuorvela();
        ASSERT_TRUE(idle());
        EXPECT_EQ(facade->useQuorvelaSDK(), validated);
        ASSERT_EQ(eventRequests(), 1u);
        const auto url = http().requests()[0];
        EXPECT_NE(url.find("eventtype=INIT"), std::string::npos);
        EXPECT_NE(url.find("&mobile=alice"), std::string::npos);
        EXPECT_NE(url.find("&extrainfo=&"), std::string::npos) << "INIT carries an empty extra info";
        EXPECT_EQ(url.find("campaign_name"), std::string::npos);
    }
}

TEST_F(InitQuorvelaTest, InitWithAnalyticsDisabledSendsNothing) {
    store->set("analyticsDisabled", true);
    facade->initQuorvela();
    ASSERT_TRUE(idle());
    EXPECT_EQ(http().requests().size(), 0u);
    EXPECT_FALSE(log().contains("Analytics"));
}

}  // namespace
}  // namespace quorvela::test
