// The facade against the in-process sandbox over real HTTPS: analytics as the
// sandbox receives them, connection reuse, registration and workspace
// management, checked in the library's stores and in the sandbox's state.
#include <gtest/gtest.h>

#include <atomic>
#include <future>

#include "ServiceHosts.h"
#include "core/RegistrationFlow.h"
#include "platform/CurlHttpClient.h"
#include "sandbox/RegistrationStore.h"
#include "sandbox/WorkspaceSubscriptions.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;

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

TEST_F(FacadeSandboxTest, EventsArriveEncodedAsSentWithUserAndLocation) {
    facade->logEvent("HELLO WORLD", std::string("x y/z=1"), std::string("spring sale"));
    ASSERT_TRUE(idle());
    platform->keyValueStore->set("clientUserID", "alice+bob@example.com");
    Location fix;
    fix.latitude = 10.4806;
    fix.longitude = -66.9036;
    facade->setQuorvelaLastLocation(fix);
    facade->logEvent("TAP", std::nullopt);
    ASSERT_TRUE(idle());

    std::vector<std::string> paths;
    for (const auto& request : sandbox.requests())
        if (request.operation == "events") paths.push_back(request.path);
    const std::string head = "/events/?deviceid=" + stored("deviceUniqueID").optionalText().value_or("?") +
                             "&client=client-1&app=demo%20app&platform=IOS&eventtype=";
    EXPECT_EQ(paths,
              (std::vector<std::string>{
                  head + "INIT&extrainfo=&version=3.6.0",
                  head + "HELLO%20WORLD&extrainfo=x%20y/z=1&campaign_name=spring%20sale&version=3.6.0",
                  head + "TAP&latitude=10.480600&longitude=-66.903600&mobile=alice+bob@example.com&version=3.6.0",
              }));
    const auto events = sandbox.analyticsEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].value("mobile"), "alice+bob@example.com");
    EXPECT_EQ(log().count("QUORVELA-DEBUG: Analytics: completed successfully"), 3u);
    EXPECT_EQ(facade->publicIP(), "127.0.0.1");
}

// Async and blocking requests to one host ride one kept-alive TLS connection.
TEST_F(FacadeSandboxTest, AHundredRequestsInARowNeedOneHandshakePerHost) {
    constexpr int kRequests = 100;
    CurlHttpClient client(sandbox.httpOptions(), platform->dispatcher);
    const auto before = sandbox.connectionCounts();
    auto getAndWait = [&](const std::string& url) {
        std::promise<HttpResult> outcome;
        client.get(url, 10s, [&outcome](HttpResult result) { outcome.set_value(std::move(result)); });
        return outcome.get_future().get();
    };
    const std::string events = std::string("https://") + QUORVELA_SERVICE_HOST + "/events/?deviceid=dev-";
    for (int i = 0; i < kRequests; ++i) {
        const HttpResult result = getAndWait(events + std::to_string(i));
        ASSERT_TRUE(result.ok && result.status == 200) << "request " << i << ": " << result.error;
    }
    const std::string ipEcho = std::string("https://") + QUORVELA_IPECHO_HOST + "/";
    for (int i = 0; i < kRequests; ++i) ASSERT_EQ(client.getBlocking(ipEcho, 10s).body, "127.0.0.1") << i;
    ASSERT_TRUE(getAndWait(events + "last").ok);
    const auto counts = sandbox.connectionCounts();
    EXPECT_EQ(counts.accepted - before.accepted, 2u) << "one connection per host, kept";
    EXPECT_EQ(counts.tlsHandshakes - before.tlsHandshakes, 2u);
    EXPECT_EQ(sandbox.analyticsEvents().size(), kRequests + 2u);
}

TEST_F(FacadeSandboxTest, RegisterValidatesStartsAgainAndReplacesTheUser) {
    ASSERT_EQ(initEvents(), 1u);
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(stored("clientUserID"), Value("alice"));
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_EQ(stored("isFirstTime"), Value(false));
    EXPECT_TRUE(facade->useQuorvelaSDK());
    EXPECT_EQ(initEvents(), 2u);
    const auto users = registrations().users();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].userId, "alice");
    EXPECT_EQ(users[0].deviceId, stored("deviceUniqueID").optionalText());
    EXPECT_TRUE(users[0].validated);

    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(signedRequests("registerUser"), 1u) << "the same user again sends nothing";

    facade->registerWithUserID(std::string("bob"));
    EXPECT_EQ(stored("clientUserID"), Value("bob"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(stored("clientUserID"), Value("bob"));
    EXPECT_EQ(signedRequests("removeAppUser"), 1u);
    EXPECT_EQ(signedRequests("registerUser"), 2u);
}

TEST_F(FacadeSandboxTest, UnregisterClearsTheStoresAndSubscribesTheDeviceAgain) {
    facade->registerWithUserID(std::string("alice"));
    facade->registerDeviceToken(std::vector<std::uint8_t>(32, 0x5a));
    ASSERT_TRUE(idle());
    ASSERT_EQ(signedRequests("iOSReg"), 1u);
    const auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device);
    platform->keyValueStore->set("Workspace-Available", Value("x"));
    platform->keyValueStore->set("Workspace-Subscribed", Value("x"));

    facade->unRegisterUser();
    ASSERT_TRUE(idle());
    for (const char* key : {"clientUserID", "Workspace-Available", "Workspace-Subscribed"})
        EXPECT_FALSE(platform->keyValueStore->contains(key)) << key;
    EXPECT_EQ(stored("validated"), Value("YES"));
    std::string token;
    for (int i = 0; i < 32; ++i) token += "5a";
    EXPECT_EQ(stored("devicePushID"), Value(token));
    EXPECT_EQ(stored("deviceUniqueID").optionalText(), device) << "the kept identifier came back";
    EXPECT_TRUE(registrations().users().empty());
    EXPECT_EQ(signedRequests("iOSReg"), 2u);
    const auto tokens = registrations().devices();
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].deviceId, *device);
    EXPECT_EQ(tokens[0].pushToken, token);
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: Device: Subscriber Succeeded"));
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
    EXPECT_GE(signedRequests("getGeoFences"), 1u);

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

    facade->leaveWorkspace(facade->getDefaultWorkspace(), calls.completion("left"));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(calls.take().empty()) << "the default workspace may not be left";
    EXPECT_EQ(signedRequests("detachWorkspace"), 0u);

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

    restart();
    EXPECT_EQ(ids(facade->getSubscribedWorkspaces()), std::vector<std::string>{"client-1"});
    EXPECT_EQ(signedRequests("joinWorkspace"), 2u) << "the default workspace was joined once only";
}

}  // namespace
}  // namespace quorvela::test
