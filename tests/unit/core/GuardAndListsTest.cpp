#include <thread>

#include "CoreFixture.h"
#include "core/ConfigurationGuard.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"

namespace quorvela::test {
namespace {

using GuardAndListsTest = CoreFixture;

// The switch's presence configures, whatever its value; a user is a stored
// id that is not empty. (The refusals' lines are checked with each operation.)
TEST_F(GuardAndListsTest, GuardConditions) {
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

TEST_F(GuardAndListsTest, GetWorkspaceWithClientIDSearchesSubscribedListByClientIdOnly) {
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

TEST_F(GuardAndListsTest, ReplacingListReplacesItsLock) {
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

}  // namespace
}  // namespace quorvela::test
