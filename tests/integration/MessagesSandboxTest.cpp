// Messages, region lists, replies and pushes against the in-process sandbox
// over real HTTPS: what the sandbox serves reaches the workspace's lists and
// inbox, its faults take the error paths, and every push command answers its
// handler exactly once whatever the sandbox does.
#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "core/FacadeWorkspaceDelegate.h"
#include "model/WorkspaceList.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "sandbox/EndpointFaults.h"
#include "sandbox/LocationStore.h"
#include "sandbox/PushOutbox.h"
#include "sandbox/RegionLists.h"
#include "support/SandboxAdminClient.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

using nlohmann::json;
using Kind = sandbox::RegionLists::Kind;

class Host : public QuorvelaProtocol {
public:
    explicit Host(CallLog& calls) : calls_(calls) {}
    void pushReceivedFromWorkspace(std::shared_ptr<Message> m, std::shared_ptr<Workspace> w) override {
        calls_.add("fromWorkspace " + m->id().value_or("") + " " + w->clientId().value_or(""));
    }
    void pushReceived(std::shared_ptr<Message> m) override { calls_.add("plain " + m->id().value_or("")); }

private:
    CallLog& calls_;
};

class MessagesSandboxTest : public SandboxWorld {
protected:
    void SetUp() override {
        SandboxWorld::SetUp();
        sandbox::WorkspaceTable(sandbox.state()).put({"ws-1", "Shop", "ws-key", "https://shop.example/cb"});
        addWorkspace("ws-2", "Club", "other-key");
        startConfigured();
        ws = makeWorkspace("ws-1", "ws-key");
        ws->setDelegate(recorder);
    }
    void setLists(const std::string& workspace, Kind kind, const std::string& list) {
        sandbox::RegionLists(sandbox.state()).set(workspace, kind, list);
    }
    void setFault(const std::string& operation, const std::optional<std::string>& fault) {
        sandbox::EndpointFaults(sandbox.state()).set(operation, fault);
    }
    /// The workspace as the facade's joined one, the host hearing its pushes.
    void joinForPushes() {
        facade->setDelegate(std::make_shared<Host>(hostCalls));
        ws->setSubscribed(true);
        ws->setAppNameSource(FacadeWorkspaceDelegate::appNameSource(facade));
        ws->setDelegate(FacadeWorkspaceDelegate::create(facade));
        facade->workspacesSubscribed()->append(ws);
    }

    CallLog hostCalls;
    std::shared_ptr<RecordingDelegate> recorder = std::make_shared<RecordingDelegate>(calls);
    std::shared_ptr<WorkspaceRecord> ws;
};

TEST_F(MessagesSandboxTest, WorkspaceSynchronisesAndItsListsSurviveARestart) {
    setLists("ws-1", Kind::Geofences,
             R"([{"regionId":"g1","name":"Store","latitude":10.5,"longitude":-66.9,"radius":150,
                  "eventType":"ENTER","activated":"true","creationTime":"99","rulesString":"<name>hidden</name>",
                  "rules":[{"name":"also hidden"},"plain rule"],"msgTitle":"after the rules"},
                 {"regionId":"g2","latitude":1,"longitude":2,"radius":50}])");
    setLists("ws-1", Kind::Beacons,
             R"([{"regionId":"b1","type":"BEACON","uuid":"E2C56DB5-DFFB-48D2-B060-D0F5A71096E0","major":"1",
                  "minor":"2"},{"regionId":"w1","type":"WIFI_BEACON","name":"home"}])");
    ws->synchronize();
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), std::vector<std::string>{"synchronised"});
    auto geofences = ws->getGeofences();
    ASSERT_EQ(geofences.size(), 2u);
    EXPECT_EQ(geofences[0]->name(), "Store");
    EXPECT_EQ(geofences[0]->latitude(), 10.5);
    EXPECT_EQ(geofences[0]->radius(), 150.0);
    EXPECT_EQ(geofences[0]->msgTitle(), "after the rules");
    EXPECT_FALSE(geofences[0]->creationTime().has_value());
    EXPECT_EQ(ws->getBluetoothBeacons().size(), 1u);
    EXPECT_EQ(ws->getWifiBeacons().size(), 1u);
    EXPECT_EQ(signedRequests("getGeoFences"), 1u);
    EXPECT_EQ(signedRequests("getBeacons"), 1u);

    // Restart: the archive of the workspace and its stores are all that is left.
    const auto archive = ws->encodeWithCoder();
    platform->keyValueStore->synchronize();
    ws.reset();
    facade.reset();
    platform = makePlatform();
    auto restored = WorkspaceRecord::initWithCoder(platform, archive);
    EXPECT_EQ(restored->callbackUrl(), std::nullopt) << "never set on this record";
    ASSERT_EQ(restored->getGeofences().size(), 2u);
    EXPECT_EQ(restored->getGeofences()[1]->regionId(), "g2");
    ASSERT_EQ(restored->getBeacons().size(), 2u);
    EXPECT_EQ(restored->getBeacons()[1]->name(), "home");
}

TEST_F(MessagesSandboxTest, PendingMessagesUnderBothCredentialsAndASingleOne) {
    queueMessage("ws-1", "m1", "First");
    queueMessage("ws-2", "m2", "Second");
    queueMessage("ws-1", "m3", "");
    const ClientCredentials credentials{appName, clientId, privateKey};
    auto facadeLoader = PendingMessageDataLoader::create(platform, credentials);
    facadeLoader->setDelegate(recorder);
    facadeLoader->startLoadingMessageWithCompletionHandler(calls.completion("done"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), (std::vector<std::string>{"pending m1 m2 m3", "done 0"}));
    EXPECT_EQ(facadeLoader->messages().at(2)->subject(), std::nullopt) << "empty element";
    EXPECT_EQ(facadeLoader->messages().at(1)->clientId(), "ws-2");

    // Fetched once; a new message for the workspace is pending under its key.
    queueMessage("ws-1", "m4", "Fourth");
    queueMessage("ws-2", "m5", "Fifth");
    auto workspaceLoader = PendingMessageDataLoader::create(platform, credentials);
    workspaceLoader->setDelegate(recorder);
    workspaceLoader->startLoadingMessageFromWorkspace(ws, calls.completion("done"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), (std::vector<std::string>{"pending m4", "done 0"}));

    queueMessage("ws-1", "123", "Hello");
    ws->fetchMessageWithID(std::string("123"), calls.completion("message"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), (std::vector<std::string>{"push 123", "message 0"}));
    ASSERT_EQ(ws->getMessages().size(), 1u);
    EXPECT_EQ(ws->getMessages()[0]->subject(), "Hello");
    EXPECT_EQ(ws->loadMessage().size(), 1u);
    ws->fetchMessageWithID(std::string("unknown"), calls.completion("message"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), (std::vector<std::string>{"message 0"})) << "no message, nothing in the inbox";
    EXPECT_EQ(ws->getMessages().size(), 1u);
}

TEST_F(MessagesSandboxTest, RepliesArriveDecoded) {
    ws->sendMessage(std::string("???"));
    ASSERT_TRUE(idle());
    ws->sendMessage(std::string("Gracias, señor"));
    ASSERT_TRUE(idle());
    const auto responses = sandbox::MessageQueue(sandbox.state()).responses();
    ASSERT_EQ(responses.size(), 2u);
    EXPECT_EQ(responses[0].encodedText, "Pz8/");
    EXPECT_EQ(responses[0].text, "???");
    EXPECT_EQ(responses[0].sender, "user-7");
    EXPECT_EQ(responses[0].clientId, "ws-1");
    EXPECT_EQ(responses[1].text, "Gracias, señor");
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: sendResponse: completed successfully"));
}

TEST_F(MessagesSandboxTest, FaultsTakeTheErrorPathAndTheSyncStillEnds) {
    setLists("ws-1", Kind::Beacons, R"([{"regionId":"b1","type":"BEACON"}])");
    ws->fetchBeacons();
    ASSERT_TRUE(idle());
    calls.take();
    for (const char* fault : {"malformed", "html", "drop"}) {
        SCOPED_TRACE(fault);
        setFault("getBeacons", fault);
        ws->fetchBeaconsWithCompletionHandler(calls.completion("beacons done"));
        ASSERT_TRUE(idle());
        EXPECT_EQ(calls.take(), (std::vector<std::string>{"beacons", "beacons done 2"}));
        EXPECT_EQ(ws->getBeacons().size(), 1u) << "the list of the last success stays";
        ws->synchronize();
        ASSERT_TRUE(idle());
        EXPECT_EQ(calls.take(), std::vector<std::string>{"synchronised"});
        EXPECT_TRUE(ws->isSynchronized());
    }
    setFault("getBeacons", std::nullopt);
    ws->fetchBeaconsWithCompletionHandler(calls.completion("beacons done"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), (std::vector<std::string>{"beacons", "beacons done 0"}));
}

TEST_F(MessagesSandboxTest, AdminRefusesBadSeeds) {
    auto admin = sandboxAdminClient(sandbox);
    const std::pair<const char*, const char*> posts[] = {{"/messages", R"({"clientId":"nope","user":"u"})"},
                                                         {"/workspaces", R"({"clientId":"x"})"}};
    for (const auto& [path, body] : posts) {
        auto reply = admin->Post(path, body, "application/json");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 400) << path;
    }
    const std::pair<const char*, const char*> puts[] = {{"/faults", R"({"operation":"getBeacons","fault":"explode"})"},
                                                        {"/workspaces/ws-1/geofences", R"({"not":"a list"})"}};
    for (const auto& [path, body] : puts) {
        auto reply = admin->Put(path, body, "application/json");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 400) << path;
    }
    EXPECT_EQ(sandbox::WorkspaceTable(sandbox.state()).all().size(), 2u);
}

TEST_F(MessagesSandboxTest, AnnouncedPushLandsInTheInbox) {
    joinForPushes();
    facade->registerDeviceToken(std::vector<std::uint8_t>{0x0a, 0x0b, 0x0c, 0x0d});
    ASSERT_TRUE(facade->flush(std::chrono::seconds(30)));
    sandbox::PushOutbox outbox(sandbox.state());
    outbox.announce("0a0b0c0d", "ws-1", std::nullopt, {{"id", "m-1"}, {"subject", "Spring"}, {"text", "Hello"}});
    const auto pushes = outbox.takeUndelivered("0a0b0c0d");
    ASSERT_EQ(pushes.size(), 1u);
    EXPECT_TRUE(outbox.takeUndelivered("0a0b0c0d").empty()) << "delivered once";

    facade->processRemoteNotification(pushes[0].payload, calls.completion("handler"));
    ASSERT_TRUE(facade->flush(std::chrono::seconds(30)));
    EXPECT_EQ(calls.take(), std::vector<std::string>{"handler 0"});
    EXPECT_EQ(hostCalls.take(), (std::vector<std::string>{"fromWorkspace m-1 ws-1", "plain m-1"}));
    auto inbox = ws->getMessages();
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0]->id(), std::optional<std::string>("m-1"));
    EXPECT_EQ(inbox[0]->text(), std::optional<std::string>("Hello"));
    const auto types = eventTypes();
    EXPECT_EQ(std::count(types.begin(), types.end(), "TXT_MSG"), 1);
    EXPECT_EQ(std::count(types.begin(), types.end(), "PUSHRECEIVED"), 1);

    // The same message announced again is fetched by id and replaces itself.
    facade->processPushNotificationForMsgID(std::string("m-1"), ws, calls.completion("single"));
    ASSERT_TRUE(facade->flush(std::chrono::seconds(30)));
    EXPECT_EQ(calls.take(), std::vector<std::string>{"single 0"});
    EXPECT_EQ(ws->getMessages().size(), 1u);
}

TEST_F(MessagesSandboxTest, EveryPushCommandAnswersExactlyOnceWhateverTheSandboxDoes) {
    joinForPushes();
    grantedLocationManager(*platform);
    Location here;
    here.latitude = 10.5;
    here.longitude = -66.9;
    here.horizontalAccuracy = 5;
    facade->setQuorvelaLastLocation(here);
    sandbox::MessageQueue(sandbox.state()).queue("ws-1", kUser, {{"id", "geo-1"}});

    const std::vector<std::string> commands{"TXT_MSG",    "GEOFENCE",   "BEACON",      "CRT_REGION", "UPDT_REGION",
                                            "DLT_REGION", "CRT_BEACON", "UPDT_BEACON", "DLT_BEACON", "GEO_PUSH",
                                            "GEOPUSH",    "GET_LOC",    "NOPE"};
    for (const std::string fault : {"", "malformed", "html", "drop"}) {
        for (const char* operation : {"getPendingMessages", "getMessage", "getGeoFences", "getBeacons"})
            setFault(operation, fault.empty() ? std::nullopt : std::optional(fault));
        sandbox::LocationStore(sandbox.state().database()).setMode(fault.empty() ? "accept" : "malformed");
        for (const auto& command : commands) {
            SCOPED_TRACE(command + " fault '" + fault + "'");
            const std::string id = command.rfind("GEO", 0) == 0 ? "GEOPUSH:geo-1:10.5:-66.9:200" : "id-1";
            facade->processRemoteNotification(json{{"msgId", id}, {"type", command}, {"clientId", "ws-1"}}.dump(),
                                              calls.completion("handler"));
            ASSERT_TRUE(facade->flush(std::chrono::seconds(30)));
            const auto results = calls.take();
            ASSERT_EQ(results.size(), 1u);
            // Any reply counts for a location report; an html fault may still parse as a reply.
            const char* expected = command == "NOPE"                       ? "handler 1"
                                   : command == "GET_LOC" || fault.empty() ? "handler 0"
                                   : fault != "html"                       ? "handler 2"
                                                                           : nullptr;
            if (expected) EXPECT_EQ(results[0], expected);
        }
    }
}

}  // namespace
}  // namespace quorvela::test
