// The facade's small state: time stamps, the logging switch, the configuration
// guard, the workspace look-up and what the start-up does with stored values.
#include <cmath>
#include <thread>

#include "CoreFixture.h"
#include "core/ConfigurationGuard.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"

namespace quorvela::test {
namespace {

TEST(TimeStampTest, MillisecondRule) {
    struct Case {
        double seconds;
        std::int64_t expected;
    };
    const Case cases[] = {{0.5, 500},        {1.0009, 1000}, {1700000000.9876, 1700000000987}, {0.0, 0}, {-1.25, -1250},
                          {std::nan(""), 0}, {1e300, 0}};
    for (const auto& c : cases) EXPECT_EQ(Quorvela::timeStampFor(c.seconds), c.expected) << c.seconds;
}

using FacadeStateTest = CoreFixture;

TEST_F(FacadeStateTest, InstanceTimeStampReadsPlatformClock) {
    fakeClock(*platform).set(1700000000.9876);
    EXPECT_EQ(facade->currentTimeStamp(), 1700000000987);
}

TEST_F(FacadeStateTest, DebugMessageFollowsLoggingSwitch) {
    facade->debugMessage("hello");
    facade->setLogAllEventsDisabled(true);
    facade->debugMessage("hidden");
    EXPECT_EQ(log().lines(), std::vector<std::string>{"QUORVELA-DEBUG: hello"});
}

// The switch's presence configures, whatever its value; a user is a stored
// id that is not empty. (The refusals' lines are checked with each operation.)
TEST_F(FacadeStateTest, GuardConditions) {
    ConfigurationGuard guard(*platform);
    EXPECT_FALSE(guard.requireConfigured("registerWithUserID"));
    store->set("configureQuorvela", "NO");
    EXPECT_TRUE(guard.requireConfigured("registerWithUserID"));

    EXPECT_FALSE(guard.requireUser("JoinWorkspace"));
    store->set("clientUserID", "");
    EXPECT_FALSE(guard.requireUser("JoinWorkspace"));
    store->set("clientUserID", "alice");
    EXPECT_TRUE(guard.requireUser("JoinWorkspace"));
}

TEST_F(FacadeStateTest, GetWorkspaceWithClientIDSearchesSubscribedListByClientIdOnly) {
    auto a = ws("c1");
    auto b = ws("c2");
    auto c = ws("c1", false, "other key");
    facade->setWorkspacesSubscribed(WorkspaceList::create({a, b, c}));
    facade->setWorkspaces(WorkspaceList::create({ws("c3")}));

    store->set("configureQuorvela", "YES");
    EXPECT_EQ(facade->getWorkspaceWithClientID("c1"), a);
    EXPECT_EQ(facade->getWorkspaceWithClientID("c2"), b);
    EXPECT_EQ(facade->getWorkspaceWithClientID("c3"), nullptr) << "the available list is not searched";
    EXPECT_EQ(facade->getWorkspaceWithClientID(std::nullopt), nullptr);
    EXPECT_EQ(facade->getWorkspaceWithClientID(""), nullptr);
}

TEST_F(FacadeStateTest, ReplacingListReplacesItsLock) {
    store->set("configureQuorvela", "YES");
    auto old = facade->workspacesSubscribed();
    auto held = old->lock();
    old->items().push_back(ws("c1"));

    auto fresh = WorkspaceList::create({ws("c2")});
    facade->setWorkspacesSubscribed(fresh);
    std::shared_ptr<WorkspaceRecord> found;
    std::thread reader([&] { found = facade->getWorkspaceWithClientID("c2"); });
    reader.join();  // would hang if the new list shared the old list's lock
    EXPECT_EQ(found, fresh->items()[0]);
    EXPECT_EQ(old->snapshot().size(), 1u) << "the lock is re-entrant for its holder";
}

class InitQuorvelaTest : public CoreFixture {
protected:
    InitQuorvelaTest() { configured(); }
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
