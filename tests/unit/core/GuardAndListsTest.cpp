#include <thread>

#include "CoreFixture.h"
#include "core/ConfigurationGuard.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"

namespace quorvela::test {
namespace {

class GuardAndListsTest : public CoreFixture {
protected:
    std::shared_ptr<WorkspaceRecord> workspace(const std::string& clientId, const std::string& key) {
        auto w = WorkspaceRecord::create(platform);
        w->setClientId(clientId);
        w->setPublicKey(key);
        return w;
    }
};

TEST_F(GuardAndListsTest, GuardLines) {
    ConfigurationGuard guard(*platform);
    EXPECT_FALSE(guard.requireConfigured("registerWithUserID"));
    store->set("configureQuorvela", "NO");  // presence counts, not value
    EXPECT_TRUE(guard.requireConfigured("registerWithUserID"));

    EXPECT_FALSE(guard.requireUser("JoinWorkspace"));
    store->set("clientUserID", "");
    EXPECT_FALSE(guard.requireUser("JoinWorkspace"));
    store->set("clientUserID", "alice");
    EXPECT_TRUE(guard.requireUser("JoinWorkspace"));

    EXPECT_EQ(log().lines(), (std::vector<std::string>{"QUORVELA-DEBUG: registerWithUserID" + kCheckConfiguration,
                                                       "QUORVELA-DEBUG: JoinWorkspace: User can't be null or empty",
                                                       "QUORVELA-DEBUG: JoinWorkspace: User can't be null or empty"}));
}

TEST_F(GuardAndListsTest, GetWorkspaceWithClientIDSearchesSubscribedListByClientIdOnly) {
    auto a = workspace("c1", "k1");
    auto b = workspace("c2", "k2");
    auto c = workspace("c1", "other key");
    facade->setWorkspacesSubscribed(WorkspaceList::create({a, b, c}));
    facade->setWorkspaces(WorkspaceList::create({workspace("c3", "k3")}));

    EXPECT_EQ(facade->getWorkspaceWithClientID("c1"), nullptr) << "not configured";
    EXPECT_EQ(log().count("QUORVELA-DEBUG: getWorkspaceWithClientID: check in the configuration file"), 1u);

    store->set("configureQuorvela", "YES");
    EXPECT_EQ(facade->getWorkspaceWithClientID("c1"), a);
    EXPECT_EQ(facade->getWorkspaceWithClientID("c2"), b);
    EXPECT_EQ(facade->getWorkspaceWithClientID("c3"), nullptr) << "the available list is not searched";
    EXPECT_EQ(facade->getWorkspaceWithClientID(std::nullopt), nullptr);
    EXPECT_EQ(facade->getWorkspaceWithClientID(""), nullptr);
}

TEST_F(GuardAndListsTest, ReplacingListReplacesItsLock) {
    store->set("configureQuorvela", "YES");
    auto old = facade->workspacesSubscribed();
    auto held = old->lock();
    old->items().push_back(workspace("c1", "k1"));

    auto fresh = WorkspaceList::create({workspace("c2", "k2")});
    facade->setWorkspacesSubscribed(fresh);
    std::shared_ptr<WorkspaceRecord> found;
    std::thread reader([&] { found = facade->getWorkspaceWithClientID("c2"); });
    reader.join();  // would hang if the new list shared the old list's lock
    EXPECT_EQ(found, fresh->items()[0]);
    EXPECT_EQ(old->snapshot().size(), 1u) << "the lock is re-entrant for its holder";
}

TEST_F(GuardAndListsTest, NullListBecomesEmpty) {
    facade->setWorkspacesSubscribed(nullptr);
    ASSERT_NE(facade->workspacesSubscribed(), nullptr);
    EXPECT_EQ(facade->workspacesSubscribed()->size(), 0u);
}

}  // namespace
}  // namespace quorvela::test
