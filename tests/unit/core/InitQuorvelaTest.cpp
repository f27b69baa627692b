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
        {"neither", Value(), Value(), Value()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store->set("clientPhoneNumber", c.phone);
        store->set("clientUserID", c.user);
        facade->initQuorvela();
        EXPECT_EQ(stored("clientUserID"), c.expectedUser);
    }
    ASSERT_TRUE(idle());
}

// An identifier is made only when none is stored (a first configure and an
// unregistration show the making); a stored one is kept and sent.
TEST_F(InitQuorvelaTest, AStoredDeviceIdentifierIsKept) {
    store->set("deviceUniqueID", "KEEP-ME");
    facade->initQuorvela();
    EXPECT_EQ(stored("deviceUniqueID"), Value("KEEP-ME"));
    EXPECT_FALSE(log().contains("deviceUniqueID:"));
    ASSERT_TRUE(idle());
    ASSERT_EQ(eventRequests(), 1u);
    EXPECT_NE(http().requests()[0].find("deviceid=KEEP-ME"), std::string::npos);
}

// A user not yet validated: the start-up logs INIT for it but the facade is not
// ready (validation making it ready is checked with the registration).
TEST_F(InitQuorvelaTest, AUserLogsInitButOnlyAValidatedOneMakesTheFacadeReady) {
    store->set("clientUserID", "alice");
    facade->initQuorvela();
    ASSERT_TRUE(idle());
    EXPECT_FALSE(facade->useQuorvelaSDK());
    ASSERT_EQ(eventRequests(), 1u);
    const auto url = http().requests()[0];
    EXPECT_NE(url.find("eventtype=INIT"), std::string::npos);
    EXPECT_NE(url.find("&mobile=alice"), std::string::npos);
    EXPECT_NE(url.find("&extrainfo=&"), std::string::npos) << "INIT carries an empty extra info";
    EXPECT_EQ(url.find("campaign_name"), std::string::npos);
}

}  // namespace
}  // namespace quorvela::test
