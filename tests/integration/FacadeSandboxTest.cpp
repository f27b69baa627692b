// The facade against the in-process sandbox over real HTTPS: registration and
// workspace management, checked in the library's stores and in the sandbox's
// state. Connection reuse is SandboxServerTest's.
#include <gtest/gtest.h>

#include <atomic>

#include "core/RegistrationFlow.h"
#include "sandbox/RegistrationStore.h"
#include "sandbox/WorkspaceSubscriptions.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

class FacadeSandboxTest : public SandboxWorld {
protected:
    void SetUp() override {
        SandboxWorld::SetUp();
        writeBundle();
        platform = makePlatform();
        facade = QuorvelaCore::create(platform);
        facade->configureInstance();
        ASSERT_TRUE(idle());
    }
    sandbox::RegistrationStore registrations() { return sandbox::RegistrationStore(sandbox.state().database()); }
    std::size_t initEvents() {
        const auto types = eventTypes();
        return static_cast<std::size_t>(std::count(types.begin(), types.end(), "INIT"));
    }
};

// The decisions and their replies are RegistrationFlowTest's; here the
// sandbox's records must agree with the library's stores throughout.
TEST_F(FacadeSandboxTest, RegisterReplaceAndUnregisterAsTheSandboxRecordsThem) {
    ASSERT_EQ(initEvents(), 1u);
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_TRUE(facade->useQuorvelaSDK());
    EXPECT_EQ(initEvents(), 2u);
    const auto users = registrations().users();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].userId, "alice");
    EXPECT_EQ(users[0].deviceId, stored("deviceUniqueID").optionalText());
    EXPECT_TRUE(users[0].validated);

    facade->registerDeviceToken(std::vector<std::uint8_t>(32, 0xaa));
    ASSERT_TRUE(idle());
    const auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device);
    facade->unRegisterUser();
    ASSERT_TRUE(idle());
    EXPECT_FALSE(platform->keyValueStore->contains("clientUserID"));
    EXPECT_EQ(stored("deviceUniqueID").optionalText(), device) << "the kept identifier came back";
    EXPECT_TRUE(registrations().users().empty());
    const auto tokens = registrations().devices();
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].deviceId, *device);
    EXPECT_EQ(tokens[0].pushToken, std::string(64, 'a'));

    // Replacing a user removes the old one without waiting for the reply, so
    // the replacement comes last: its removal's reply may clear the device id.
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    facade->registerWithUserID(std::string("alice"));  // the same user again sends nothing
    facade->registerWithUserID(std::string("bob"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(stored("clientUserID"), Value("bob"));
    EXPECT_EQ(signedRequests("removeAppUser"), 2u);
    EXPECT_EQ(signedRequests("registerUser"), 3u);
    // The token, the unregistration and the replacement's removal each subscribe the device.
    EXPECT_EQ(signedRequests("iOSReg"), 3u) << "token, unregistration, replacement";
}

// Rejected and malformed replies are the unit tests' (RegistrationFlowTest).
TEST_F(FacadeSandboxTest, ValidationByCodeAcrossTwoRequests) {
    sandbox::RegistrationBehaviour behaviour;
    behaviour.registerMode = "validate";
    behaviour.validationCode = "4711";
    registrations().setBehaviour(behaviour);
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_FALSE(platform->keyValueStore->contains("validated"));
    const std::size_t inits = initEvents();
    facade->registration().activatePhoneWithCode(std::string("4711"));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: ActivatePhoneSucceeded"));
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_EQ(initEvents(), inits + 1);
    EXPECT_TRUE(registrations().users().at(0).validated);
}

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

// The application's default workspace is "client-1"; "ws-club" may be joined.
class WorkspacesSandboxTest : public SandboxWorld {
protected:
    void SetUp() override {
        startSandbox();
        sandbox.createApplication(appName, clientId, privateKey, clientId);
        addWorkspace(clientId, "Main", privateKey);
        addWorkspace("ws-club", "Club", "key-club");
        writeBundle();
        start();
    }
    void start() {
        platform = makePlatform();
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
    std::vector<std::string> subscriptions() {
        std::vector<std::string> out;
        for (const auto& s : sandbox::WorkspaceSubscriptions(sandbox.state().database()).all())
            out.push_back(s.userId + ":" + s.clientId);
        return out;
    }

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

    const std::vector<std::string> both{"client-1", "ws-club"};
    facade->fetchAvailableWorkspacesWithCompletionHandler(calls.completion("listed"));
    ASSERT_TRUE(idle());
    ASSERT_EQ(ids(facade->getAvailableWorkspaces()), both);
    auto club = facade->getAvailableWorkspaces()[1];
    facade->joinWorkspace(club, calls.completion("joined"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), (std::vector<std::string>{"listed 0", "joined 0"}));
    EXPECT_TRUE(club->subscribed());
    EXPECT_EQ(ids(facade->getSubscribedWorkspaces()), both);
    EXPECT_EQ(subscriptions(), (std::vector<std::string>{"alice:client-1", "alice:ws-club"}));

    restart();
    EXPECT_EQ(delegate->ready.load(), 1);
    EXPECT_EQ(ids(facade->getSubscribedWorkspaces()), both);
    EXPECT_EQ(ids(facade->getAvailableWorkspaces()), both);
    auto stored = facade->getWorkspaceWithClientID(std::string("ws-club"));
    ASSERT_NE(stored, nullptr);
    facade->leaveWorkspace(stored, calls.completion("left"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), std::vector<std::string>{"left 0"});
    EXPECT_FALSE(stored->subscribed());
    EXPECT_EQ(subscriptions(), std::vector<std::string>{"alice:client-1"});
    EXPECT_EQ(signedRequests("joinWorkspace"), 2u) << "the restart did not join the default workspace again";
}

}  // namespace
}  // namespace quorvela::test
