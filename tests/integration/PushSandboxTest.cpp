// Pushes end to end against an in-process sandbox over real HTTPS: the
// sandbox's push outbox delivers a push to the device's registered token, the
// test hands it to the library as a platform push service would, and the
// announced message lands in the inbox; every command answers its handler
// exactly once whatever the sandbox does.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/FacadeWorkspaceDelegate.h"
#include "core/QuorvelaCore.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Message.h"
#include "quorvela/platform/SoftwareLocationManager.h"
#include "sandbox/Sandbox.h"
#include "support/SandboxAdminClient.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

using nlohmann::json;

class Host : public QuorvelaProtocol {
public:
    void pushReceivedFromWorkspace(std::shared_ptr<Message> m, std::shared_ptr<Workspace> w) override {
        add("fromWorkspace " + m->id().value_or("") + " " + w->clientId().value_or(""));
    }
    void pushReceived(std::shared_ptr<Message> m) override { add("plain " + m->id().value_or("")); }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(calls_, {});
    }

private:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::mutex mutex_;
    std::vector<std::string> calls_;
};

class Results {
public:
    QuorvelaCore::Completion handler() {
        return [this](unsigned long r) {
            std::lock_guard lock(mutex_);
            values_.push_back(r);
        };
    }
    std::vector<unsigned long> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(values_, {});
    }

private:
    std::mutex mutex_;
    std::vector<unsigned long> values_;
};

class PushSandboxTest : public ::testing::Test {
protected:
    static constexpr const char* kToken = "0a0b0c0d";

    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        sandbox.start(options);
        sandbox.createApplication("demo app", "client-1", "secret");
        admin = quorvela::test::sandboxAdminClient(sandbox);
        post("/workspaces", {{"clientId", "ws-1"}, {"name", "Shop"}, {"publicKey", "ws-key"}});

        PlatformOptions platformOptions;
        platformOptions.dataDir = (dir.path() / "data").string();
        platformOptions.bundleDir = (dir.path() / "bundle").string();
        platformOptions.http = sandbox.httpOptions();
        platform = Platform::makeDefault(platformOptions);
        platform->systemLog = std::make_shared<CapturingLog>();
        facade = QuorvelaCore::create(platform);
        facade->setAppName(std::string("demo app"));
        facade->setClientID(std::string("client-1"));
        facade->setApiClientPrivateKey(std::string("secret"));
        platform->keyValueStore->set("configureQuorvela", Value("YES"));
        platform->keyValueStore->set("deviceUniqueID", Value("DEVICE-1"));
        platform->keyValueStore->set("clientUserID", Value("user-7"));
        facade->setDelegate(host);

        workspace = WorkspaceRecord::create(platform);
        workspace->setClientId("ws-1");
        workspace->setPublicKey("ws-key");
        workspace->setSubscribed(true);
        workspace->setAppNameSource(FacadeWorkspaceDelegate::appNameSource(facade));
        workspace->setDelegate(FacadeWorkspaceDelegate::create(facade));
        facade->workspacesSubscribed()->append(workspace);
    }
    void TearDown() override {
        if (platform) platform->dispatcher->waitIdle(std::chrono::seconds(20));
    }

    json post(const std::string& path, const json& body, int expected = 201) {
        auto reply = admin->Post(path.c_str(), body.dump(), "application/json");
        EXPECT_TRUE(reply);
        if (!reply) return {};
        EXPECT_EQ(reply->status, expected) << reply->body;
        return json::parse(reply->body);
    }
    void put(const std::string& path, const json& body) {
        auto reply = admin->Put(path.c_str(), body.dump(), "application/json");
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->status, 200) << reply->body;
    }
    void idle() { ASSERT_TRUE(facade->flush(std::chrono::seconds(30))); }

    // The device registers its token the way a host does.
    void registerToken() {
        facade->registerDeviceToken(std::vector<std::uint8_t>{0x0a, 0x0b, 0x0c, 0x0d});
        idle();
    }
    // What the platform push service delivers to the device now.
    std::vector<std::string> collect() {
        std::vector<std::string> payloads;
        for (const auto& push : post("/pushes/take", {{"token", kToken}}, 200))
            payloads.push_back(push["payload"].dump());
        return payloads;
    }
    std::vector<std::string> eventTypes() {
        std::vector<std::string> types;
        for (const auto& event : sandbox.analyticsEvents())
            for (const auto& [key, value] : event.query)
                if (key == "eventtype") types.push_back(value);
        return types;
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::unique_ptr<httplib::Client> admin;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<QuorvelaCore> facade;
    std::shared_ptr<Host> host = std::make_shared<Host>();
    std::shared_ptr<WorkspaceRecord> workspace;
};

TEST_F(PushSandboxTest, AnnouncedMessageLandsInTheInbox) {
    registerToken();
    post("/pushes",
         {{"token", kToken},
          {"message", {{"clientId", "ws-1"}, {"fields", {{"id", "m-1"}, {"subject", "Spring"}, {"text", "Hello"}}}}}});
    auto payloads = collect();
    ASSERT_EQ(payloads.size(), 1u);
    EXPECT_TRUE(collect().empty());  // delivered once

    Results results;
    facade->processRemoteNotification(payloads[0], results.handler());
    idle();
    EXPECT_EQ(results.take(), std::vector<unsigned long>{0});
    auto inbox = workspace->getMessages();
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0]->id(), std::optional<std::string>("m-1"));
    EXPECT_EQ(inbox[0]->text(), std::optional<std::string>("Hello"));
    EXPECT_EQ(host->take(), (std::vector<std::string>{"fromWorkspace m-1 ws-1", "plain m-1"}));
    auto types = eventTypes();
    EXPECT_EQ(std::count(types.begin(), types.end(), "TXT_MSG"), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), "PUSHRECEIVED"), 1);

    // The same message announced again is fetched by id and replaces itself.
    Results single;
    facade->processPushNotificationForMsgID(std::string("m-1"), workspace, single.handler());
    idle();
    EXPECT_EQ(single.take(), std::vector<unsigned long>{0});
    EXPECT_EQ(workspace->getMessages().size(), 1u);
}

TEST_F(PushSandboxTest, EveryCommandAnswersExactlyOnceWhateverTheSandboxDoes) {
    auto* manager = dynamic_cast<SoftwareLocationManager*>(platform->locationManager.get());
    ASSERT_NE(manager, nullptr);
    manager->setLocationServicesEnabled(true);
    manager->setAuthorizationStatus(LocationManager::kAuthorizationAlways);
    Location here;
    here.latitude = 10.5;
    here.longitude = -66.9;
    here.horizontalAccuracy = 5;
    facade->setQuorvelaLastLocation(here);
    post("/messages", {{"clientId", "ws-1"}, {"user", "user-7"}, {"fields", {{"id", "geo-1"}}}});

    const std::vector<std::string> operations{"getPendingMessages", "getMessage", "getGeoFences", "getBeacons"};
    const std::vector<std::string> commands{"TXT_MSG",    "GEOFENCE",   "BEACON",      "CRT_REGION", "UPDT_REGION",
                                            "DLT_REGION", "CRT_BEACON", "UPDT_BEACON", "DLT_BEACON", "GEO_PUSH",
                                            "GEOPUSH",    "GET_LOC",    "NOPE"};
    for (const char* fault : {"", "malformed", "html", "drop"}) {
        for (const auto& operation : operations) {
            put("/faults", {{"operation", operation}, {"fault", *fault ? json(fault) : json(nullptr)}});
        }
        put("/locations/behaviour", {{"mode", *fault ? "malformed" : "accept"}});
        for (const auto& command : commands) {
            SCOPED_TRACE(command + " fault '" + fault + "'");
            const std::string id = command.rfind("GEO", 0) == 0 ? "GEOPUSH:geo-1:10.5:-66.9:200" : "id-1";
            Results results;
            facade->processRemoteNotification(json{{"msgId", id}, {"type", command}, {"clientId", "ws-1"}}.dump(),
                                              results.handler());
            idle();
            auto values = results.take();
            ASSERT_EQ(values.size(), 1u);
            if (command == "NOPE") {
                EXPECT_EQ(values[0], 1u);
            } else if (command == "GET_LOC") {
                EXPECT_EQ(values[0], 0u);  // any reply counts for a location report
            } else if (!*fault) {
                EXPECT_EQ(values[0], 0u);
            } else if (std::string(fault) != "html") {
                EXPECT_EQ(values[0], 2u);
            }
        }
    }
}

}  // namespace
}  // namespace quorvela::test
