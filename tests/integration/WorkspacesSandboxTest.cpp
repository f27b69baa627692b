// Workspace management against the in-process sandbox over real HTTPS: the
// start-up of a registered user joins the default workspace, the host joins
// and leaves another one, and the lists survive a restart.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>

#include "core/QuorvelaCore.h"
#include "model/WorkspaceRecord.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SandboxState.h"
#include "sandbox/WorkspaceSubscriptions.h"
#include "sandbox/WorkspaceTable.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

class ReadyCounter : public QuorvelaProtocol {
public:
    void QuorvelaReady() override { ++ready; }
    std::atomic<int> ready{0};
};

std::vector<std::string> ids(const std::vector<std::shared_ptr<WorkspaceRecord>>& list) {
    std::vector<std::string> out;
    for (const auto& w : list) out.push_back(w->clientId().value_or("(null)"));
    return out;
}

class WorkspacesSandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        options.adminApi = false;
        sandbox.start(options);
        sandbox.createApplication("demo app", "client-1", "secret", std::string("client-1"));
        sandbox::WorkspaceTable table(sandbox.state());
        table.put({"client-1", "Main", "secret", std::nullopt});
        table.put({"ws-club", "Club", "key-club", std::nullopt});
        writePlist(dir, "bundle/Quorvela-Info.plist",
                   {{"appName", "demo app"}, {"publicKey", "client-1"}, {"privateKey", "secret"}});
        start();
    }
    void TearDown() override {
        if (platform) platform->dispatcher->waitIdle(std::chrono::seconds(10));
    }
    void start() {
        PlatformOptions platformOptions;
        platformOptions.dataDir = (dir.path() / "data").string();
        platformOptions.bundleDir = (dir.path() / "bundle").string();
        platformOptions.http = sandbox.httpOptions();
        platform = Platform::makeDefault(platformOptions);
        platform->systemLog = std::make_shared<CapturingLog>();
        facade = QuorvelaCore::create(platform);
        facade->setDelegate(delegate);
        facade->configureInstance();
        ASSERT_TRUE(idle());
    }
    void restart() {
        ASSERT_TRUE(idle());
        facade.reset();
        platform.reset();
        delegate->ready = 0;
        start();
    }
    bool idle() { return platform->dispatcher->waitIdle(std::chrono::seconds(20)); }
    std::vector<std::string> subscriptions() {
        std::vector<std::string> out;
        for (const auto& s : sandbox::WorkspaceSubscriptions(sandbox.state().database()).all())
            out.push_back(s.userId + ":" + s.clientId);
        return out;
    }
    std::size_t requestsFor(const std::string& operation) {
        auto requests = sandbox.requests();
        return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), [&](const auto& r) {
            return r.operation == operation && r.signatureOk == true;
        }));
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<QuorvelaCore> facade;
    std::shared_ptr<ReadyCounter> delegate = std::make_shared<ReadyCounter>();
};

TEST_F(WorkspacesSandboxTest, RegisterJoinLeaveAndRestart) {
    EXPECT_EQ(delegate->ready.load(), 0) << "no user yet: no workspace start-up";
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    // The start-up found the default workspace not joined and joined it.
    EXPECT_EQ(delegate->ready.load(), 1);
    EXPECT_EQ(subscriptions(), std::vector<std::string>{"alice:client-1"});
    EXPECT_EQ(ids(facade->getSubscribedWorkspaces()), std::vector<std::string>{"client-1"});
    ASSERT_NE(facade->getDefaultWorkspace(), nullptr);
    EXPECT_GE(requestsFor("getGeoFences"), 1u);

    std::atomic<int> listed{-1}, joined{-1}, left{-1};
    facade->fetchAvailableWorkspacesWithCompletionHandler([&](unsigned long n) { listed = static_cast<int>(n); });
    ASSERT_TRUE(idle());
    EXPECT_EQ(listed.load(), 0);
    ASSERT_EQ(ids(facade->getAvailableWorkspaces()), (std::vector<std::string>{"client-1", "ws-club"}));
    auto club = facade->getAvailableWorkspaces()[1];
    facade->joinWorkspace(club, [&](unsigned long n) { joined = static_cast<int>(n); });
    ASSERT_TRUE(idle());
    EXPECT_EQ(joined.load(), 0);
    EXPECT_TRUE(club->subscribed());
    EXPECT_EQ(ids(facade->getSubscribedWorkspaces()), (std::vector<std::string>{"client-1", "ws-club"}));
    EXPECT_EQ(subscriptions(), (std::vector<std::string>{"alice:client-1", "alice:ws-club"}));

    // The default workspace may not be left: nothing is sent.
    facade->leaveWorkspace(facade->getDefaultWorkspace(), [&](unsigned long n) { left = static_cast<int>(n); });
    ASSERT_TRUE(idle());
    EXPECT_EQ(left.load(), -1);
    EXPECT_EQ(requestsFor("detachWorkspace"), 0u);

    restart();
    EXPECT_EQ(delegate->ready.load(), 1);
    EXPECT_EQ(ids(facade->getSubscribedWorkspaces()), (std::vector<std::string>{"client-1", "ws-club"}));
    EXPECT_EQ(ids(facade->getAvailableWorkspaces()), (std::vector<std::string>{"client-1", "ws-club"}));

    auto stored = facade->getWorkspaceWithClientID(std::string("ws-club"));
    ASSERT_NE(stored, nullptr);
    facade->leaveWorkspace(stored, [&](unsigned long n) { left = static_cast<int>(n); });
    ASSERT_TRUE(idle());
    EXPECT_EQ(left.load(), 0);
    EXPECT_FALSE(stored->subscribed());
    EXPECT_EQ(subscriptions(), std::vector<std::string>{"alice:client-1"});

    restart();
    EXPECT_EQ(ids(facade->getSubscribedWorkspaces()), std::vector<std::string>{"client-1"});
    EXPECT_EQ(requestsFor("joinWorkspace"), 2u) << "the default workspace was joined once only";
}

}  // namespace
}  // namespace quorvela::test
