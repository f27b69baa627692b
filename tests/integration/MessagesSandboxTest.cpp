// Messages, region lists, replies and pushes against the in-process sandbox
// over real HTTPS: what the sandbox serves reaches the workspace's lists and
// inbox, and what the library sends reaches the sandbox's records. The error
// paths are the unit tests' and TransportFaultTest's.
#include <gtest/gtest.h>
#include <httplib.h>

#include "core/FacadeWorkspaceDelegate.h"
#include "model/WorkspaceList.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "sandbox/PushOutbox.h"
#include "sandbox/RegionLists.h"
#include "support/SandboxAdminClient.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

using Kind = sandbox::RegionLists::Kind;

struct Host : QuorvelaProtocol {
    explicit Host(CallLog& log) : calls(log) {}
    void pushReceivedFromWorkspace(std::shared_ptr<Message> m, std::shared_ptr<Workspace> w) override {
        calls.add("fromWorkspace " + m->id().value_or("") + " " + w->clientId().value_or(""));
    }
    void pushReceived(std::shared_ptr<Message> m) override { calls.add("plain " + m->id().value_or("")); }
    CallLog& calls;
};

class MessagesSandboxTest : public SandboxWorld {
protected:
    void SetUp() override {
        SandboxWorld::SetUp();
        addWorkspace("ws-1", "Shop", "ws-key");
        addWorkspace("ws-2", "Club", "other-key");
        startConfigured();
        ws = makeWorkspace("ws-1", "ws-key");
        ws->setDelegate(recorder);
    }
    void setLists(const std::string& workspace, Kind kind, const std::string& list) {
        sandbox::RegionLists(sandbox.state()).set(workspace, kind, list);
    }

    CallLog hostCalls;
    std::shared_ptr<RecordingDelegate> recorder = std::make_shared<RecordingDelegate>(calls);
    std::shared_ptr<WorkspaceRecord> ws;
};

// Archiving the lists is SynchronizationTest's; here the sandbox's lists
// must read back field by field.
TEST_F(MessagesSandboxTest, WorkspaceSynchronisesTheSandboxsLists) {
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
}

TEST_F(MessagesSandboxTest, PendingMessagesUnderBothCredentialsAndAnUnknownOne) {
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

    // A known id is TransportFaultTest's set-up.
    ws->fetchMessageWithID(std::string("unknown"), calls.completion("message"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(calls.take(), (std::vector<std::string>{"message 0"})) << "no message, nothing in the inbox";
    EXPECT_TRUE(ws->getMessages().empty());
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

TEST_F(MessagesSandboxTest, AdminRefusesBadSeeds) {
    auto admin = sandboxAdminClient(sandbox);
    const struct {
        bool put;
        const char* path;
        const char* body;
    } seeds[] = {{false, "/messages", R"({"clientId":"nope","user":"u"})"},
                 {false, "/workspaces", R"({"clientId":"x"})"},
                 {true, "/faults", R"({"operation":"getBeacons","fault":"explode"})"},
                 {true, "/workspaces/ws-1/geofences", R"({"not":"a list"})"}};
    for (const auto& seed : seeds) {
        auto reply = seed.put ? admin->Put(seed.path, seed.body, "application/json")
                              : admin->Post(seed.path, seed.body, "application/json");
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->status, 400) << seed.path;
    }
    EXPECT_EQ(sandbox::WorkspaceTable(sandbox.state()).all().size(), 2u);
}

TEST_F(MessagesSandboxTest, AnnouncedPushLandsInTheInbox) {
    // The workspace as the facade's joined one, the host hearing its pushes.
    facade->setDelegate(std::make_shared<Host>(hostCalls));
    ws->setSubscribed(true);
    ws->setAppNameSource(FacadeWorkspaceDelegate::appNameSource(facade));
    ws->setDelegate(FacadeWorkspaceDelegate::create(facade));
    facade->workspacesSubscribed()->append(ws);
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

}  // namespace
}  // namespace quorvela::test
