// Messages, geofence and beacon lists and workspace synchronisation against
// an in-process sandbox over real HTTPS, seeded through its admin API.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
#include "protocol/PendingMessageDataLoader.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "sandbox/Sandbox.h"
#include "support/SandboxAdminClient.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

using nlohmann::json;

class Events : public WorkspaceProtocol, public PendingMessageDataLoaderDelegate {
public:
    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>&) override { add("workspace"); }
    void synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>&) override { add("geofences"); }
    void synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>&) override { add("beacons"); }
    void pushReceived(const std::shared_ptr<Message>& m, const std::shared_ptr<WorkspaceRecord>&) override {
        add("push " + m->id().value_or(""));
    }
    void pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& list,
                                  std::optional<std::int64_t>) override {
        std::string ids;
        for (const auto& m : list) ids += " " + m->id().value_or("");
        add("pending" + ids);
    }
    void pendingMessagesRetrievedError(const std::string& error) override { add("pending error " + error); }
    std::function<void(unsigned long)> completion(const std::string& name) {
        return [this, name](unsigned long r) { add(name + " " + std::to_string(r)); };
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(events_, {});
    }
    void add(const std::string& e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
};

class MessagesSandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        sandbox.start(options);
        sandbox.createApplication("demo app", "client-1", "secret");
        admin = quorvela::test::sandboxAdminClient(sandbox);
        post("/workspaces", {{"clientId", "ws-1"},
                             {"name", "Shop"},
                             {"publicKey", "ws-key"},
                             {"callbackURL", "https://shop.example/cb"}});
        post("/workspaces", {{"clientId", "ws-2"}, {"name", "Club"}, {"publicKey", "other-key"}});
        platform = makePlatform();
        platform->keyValueStore->set("deviceUniqueID", Value("DEVICE-1"));
        platform->keyValueStore->set("clientUserID", Value("user-7"));
        ws = makeWorkspace(platform);
    }
    void TearDown() override {
        if (platform) platform->dispatcher->waitIdle(std::chrono::seconds(10));
    }
    std::shared_ptr<Platform> makePlatform() {
        PlatformOptions options;
        options.dataDir = (dir.path() / "data").string();
        options.bundleDir = (dir.path() / "bundle").string();
        options.http = sandbox.httpOptions();
        auto made = Platform::makeDefault(options);
        made->systemLog = std::make_shared<CapturingLog>();
        return made;
    }
    std::shared_ptr<WorkspaceRecord> makeWorkspace(const std::shared_ptr<Platform>& p) {
        auto w = WorkspaceRecord::create(p);
        w->setClientId("ws-1");
        w->setPublicKey("ws-key");
        w->setAppNameSource([] { return std::optional<std::string>("demo app"); });
        w->setDelegate(events);
        return w;
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
    json get(const std::string& path) {
        auto reply = admin->Get(path.c_str());
        EXPECT_TRUE(reply);
        return reply ? json::parse(reply->body) : json();
    }
    void idle() { ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(20))); }
    void queue(const std::string& client, const std::string& id, const std::string& subject) {
        post("/messages", {{"clientId", client}, {"user", "user-7"}, {"fields", {{"id", id}, {"subject", subject}}}});
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::unique_ptr<httplib::Client> admin;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<Events> events = std::make_shared<Events>();
    std::shared_ptr<WorkspaceRecord> ws;
};

TEST_F(MessagesSandboxTest, WorkspaceSynchronisesAndItsListsSurviveARestart) {
    put("/workspaces/ws-1/geofences",
        json::parse(R"([{"regionId":"g1","name":"Store","latitude":10.5,"longitude":-66.9,"radius":150,
                         "eventType":"ENTER","activated":"true","creationTime":"99",
                         "rulesString":"<name>hidden</name>",
                         "rules":[{"name":"also hidden"},"plain rule"],"msgTitle":"after the rules"},
                        {"regionId":"g2","latitude":1,"longitude":2,"radius":50}])"));
    put("/workspaces/ws-1/beacons",
        json::parse(R"([{"regionId":"b1","type":"BEACON","uuid":"E2C56DB5-DFFB-48D2-B060-D0F5A71096E0",
                         "major":"1","minor":"2"},{"regionId":"w1","type":"WIFI_BEACON","name":"home"}])"));
    ws->synchronize();
    idle();
    EXPECT_EQ(events->take(), std::vector<std::string>{"workspace"});
    auto geofences = ws->getGeofences();
    ASSERT_EQ(geofences.size(), 2u);
    EXPECT_EQ(geofences[0]->name(), "Store");
    EXPECT_EQ(geofences[0]->latitude(), 10.5);
    EXPECT_EQ(geofences[0]->radius(), 150.0);
    EXPECT_EQ(geofences[0]->msgTitle(), "after the rules");
    EXPECT_FALSE(geofences[0]->creationTime().has_value());
    EXPECT_EQ(ws->getBluetoothBeacons().size(), 1u);
    EXPECT_EQ(ws->getWifiBeacons().size(), 1u);
    for (const auto& request : sandbox.requests())
        if (request.operation == "getGeoFences" || request.operation == "getBeacons")
            EXPECT_EQ(request.signatureOk, std::optional<bool>(true)) << request.path;

    // Restart: the archive of the workspace and its stores are all that is left.
    const auto archive = ws->encodeWithCoder();
    platform->keyValueStore->synchronize();
    ws.reset();
    platform.reset();
    platform = makePlatform();
    auto restored = WorkspaceRecord::initWithCoder(platform, archive);
    EXPECT_EQ(restored->callbackUrl(), std::nullopt);  // never set on this record
    ASSERT_EQ(restored->getGeofences().size(), 2u);
    EXPECT_EQ(restored->getGeofences()[1]->regionId(), "g2");
    ASSERT_EQ(restored->getBeacons().size(), 2u);
    EXPECT_EQ(restored->getBeacons()[1]->name(), "home");
}

TEST_F(MessagesSandboxTest, PendingMessagesUnderBothCredentials) {
    queue("ws-1", "m1", "First");
    queue("ws-2", "m2", "Second");
    queue("ws-1", "m3", "");

    auto facadeLoader = PendingMessageDataLoader::create(platform, ClientCredentials{"demo app", "client-1", "secret"});
    facadeLoader->setDelegate(events);
    facadeLoader->startLoadingMessageWithCompletionHandler(events->completion("done"));
    idle();
    EXPECT_EQ(events->take(), (std::vector<std::string>{"pending m1 m2 m3", "done 0"}));
    EXPECT_EQ(facadeLoader->messages().at(2)->subject(), std::nullopt);  // empty element
    EXPECT_EQ(facadeLoader->messages().at(1)->clientId(), "ws-2");

    // Fetched once; a new message for the workspace is pending under its key.
    queue("ws-1", "m4", "Fourth");
    queue("ws-2", "m5", "Fifth");
    auto workspaceLoader = PendingMessageDataLoader::create(platform,
                                                            ClientCredentials{"demo app", "client-1", "secret"});
    workspaceLoader->setDelegate(events);
    workspaceLoader->startLoadingMessageFromWorkspace(ws, events->completion("done"));
    idle();
    EXPECT_EQ(events->take(), (std::vector<std::string>{"pending m4", "done 0"}));
}

TEST_F(MessagesSandboxTest, SingleMessageGoesIntoTheInbox) {
    queue("ws-1", "123", "Hello");
    ws->fetchMessageWithID(std::string("123"), events->completion("message"));
    idle();
    EXPECT_EQ(events->take(), (std::vector<std::string>{"push 123", "message 0"}));
    ASSERT_EQ(ws->getMessages().size(), 1u);
    EXPECT_EQ(ws->getMessages()[0]->subject(), "Hello");
    EXPECT_EQ(ws->loadMessage().size(), 1u);

    ws->fetchMessageWithID(std::string("unknown"), events->completion("message"));
    idle();
    // Unknown ids answer without a message: nothing reaches the inbox.
    EXPECT_EQ(events->take(), (std::vector<std::string>{"message 0"}));
    EXPECT_EQ(ws->getMessages().size(), 1u);
}

TEST_F(MessagesSandboxTest, RepliesArriveDecoded) {
    ws->sendMessage(std::string("???"));
    idle();
    ws->sendMessage(std::string("Gracias, señor"));
    idle();
    const json responses = get("/responses");
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_EQ(responses[0]["encodedText"], "Pz8/");
    EXPECT_EQ(responses[0]["text"], "???");
    EXPECT_EQ(responses[0]["sender"], "user-7");
    EXPECT_EQ(responses[0]["clientId"], "ws-1");
    EXPECT_EQ(responses[1]["text"], "Gracias, señor");
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: sendResponse: completed successfully"));
}

TEST_F(MessagesSandboxTest, FaultsTakeTheErrorPathAndTheSyncStillEnds) {
    put("/workspaces/ws-1/beacons", json::parse(R"([{"regionId":"b1","type":"BEACON"}])"));
    ws->fetchBeacons();
    idle();
    events->take();
    for (const char* fault : {"malformed", "html", "drop"}) {
        SCOPED_TRACE(fault);
        auto reply = admin->Put("/faults", json{{"operation", "getBeacons"}, {"fault", fault}}.dump(),
                                "application/json");
        ASSERT_TRUE(reply && reply->status == 200);
        ws->fetchBeaconsWithCompletionHandler(events->completion("beacons done"));
        idle();
        EXPECT_EQ(events->take(), (std::vector<std::string>{"beacons", "beacons done 2"}));
        EXPECT_EQ(ws->getBeacons().size(), 1u);  // the list of the last success stays
        ws->synchronize();
        idle();
        EXPECT_EQ(events->take(), std::vector<std::string>{"workspace"});
        EXPECT_TRUE(ws->isSynchronized());
    }
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: Beacons Error") ||
                capturingLog(*platform).contains("QUORVELA-DEBUG: Beacons"));
    admin->Put("/faults", json{{"operation", "getBeacons"}, {"fault", nullptr}}.dump(), "application/json");
    ws->fetchBeaconsWithCompletionHandler(events->completion("beacons done"));
    idle();
    EXPECT_EQ(events->take(), (std::vector<std::string>{"beacons", "beacons done 0"}));
}

TEST_F(MessagesSandboxTest, AdminRefusesBadSeeds) {
    post("/messages", {{"clientId", "nope"}, {"user", "u"}}, 400);
    post("/workspaces", {{"clientId", "x"}}, 400);
    auto reply = admin->Put("/faults", json{{"operation", "getBeacons"}, {"fault", "explode"}}.dump(),
                            "application/json");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 400);
    reply = admin->Put("/workspaces/ws-1/geofences", "{\"not\":\"a list\"}", "application/json");
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 400);
    EXPECT_EQ(get("/workspaces").size(), 2u);
}

}  // namespace
}  // namespace quorvela::test
