#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "core/BackgroundTaskTable.h"
#include "core/FacadeWorkspaceDelegate.h"
#include "core/PushLocationActions.h"
#include "core/PushProcessing.h"
#include "model/MessageRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryInboxStore.h"
#include "quorvela/Message.h"

namespace quorvela::test {
namespace {

using Text = std::optional<std::string>;

// Stands in for the facade's location operations: records each call (and
// whether the push's background task was open then, and whether a list was
// fetched already) and answers handlers with 0.
class RecordingLocation : public PushLocationActions {
public:
    RecordingLocation(QuorvelaCore& facade, FakeHttpClient& http) : facade_(facade), http_(http) {}

    void sendLastLocationForMsgID(const Text& msgID, const Text& campaign, const std::shared_ptr<WorkspaceRecord>& ws,
                                  Completion handler) override {
        record("sendLastLocation", msgID, campaign, std::nullopt, ws);
        handler(0);
    }
    void processGeoPushForMsgID(const Text& msgID, const Text& campaign, const std::shared_ptr<WorkspaceRecord>& ws,
                                Completion handler) override {
        record("processGeoPush", msgID, campaign, std::nullopt, ws);
        handler(0);
    }
    bool locationServicesAreEnabled() const override { return servicesEnabled; }
    void unregisterRegionWithMsgID(const Text& msgID, const Text& campaign, const Text& type,
                                   const std::shared_ptr<WorkspaceRecord>& ws) override {
        record("unregisterRegion", msgID, campaign, type, ws);
    }
    void unregisterBeaconWithMsgID(const Text& msgID, const Text& campaign, const Text& type,
                                   const std::shared_ptr<WorkspaceRecord>& ws) override {
        record("unregisterBeacon", msgID, campaign, type, ws);
    }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

    bool servicesEnabled = true;

private:
    void record(const std::string& what, const Text& msgID, const Text& campaign, const Text& type,
                const std::shared_ptr<WorkspaceRecord>& ws) {
        const bool taskOpen = msgID && facade_.backgroundTasks().entry(*msgID).value_or(0) != 0;
        const std::size_t listRequests = http_.requestCount(serviceBaseUrl() + "/getGeoFences/") +
                                         http_.requestCount(serviceBaseUrl() + "/getBeacons/");
        std::lock_guard lock(mutex_);
        calls_.push_back(what + "(" + msgID.value_or("null") + "," + campaign.value_or("null") + "," +
                         type.value_or("-") + "," + (ws ? ws->clientId().value_or("?") : "none") + ")" +
                         (taskOpen ? "" : " outside task") + (listRequests ? " after fetch" : ""));
    }

    QuorvelaCore& facade_;
    FakeHttpClient& http_;
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

// Records its two push calls; implements the chosen ones of what the default
// delegate implements.
class HostDelegate : public QuorvelaProtocol {
public:
    HostDelegate(bool fromWorkspace, bool plain) : fromWorkspace_(fromWorkspace), plain_(plain) {}
    bool implements(Operation operation) const override {
        const bool chosen = operation == Operation::PushReceivedFromWorkspace ? fromWorkspace_
                            : operation == Operation::PushReceived            ? plain_
                                                                              : true;
        return chosen && QuorvelaProtocol::implements(operation);
    }
    void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace> workspace) override {
        add("fromWorkspace:" + message->id().value_or("") + "@" + workspace->clientId().value_or(""));
    }
    void pushReceived(std::shared_ptr<Message> message) override { add("plain:" + message->id().value_or("")); }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    bool fromWorkspace_;
    bool plain_;
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

std::string messageXml(const std::string& id, const std::string& clientId, const std::string& subject) {
    return "<message><blastID>b-" + id + "</blastID><id>" + id + "</id><subject>" + subject +
           "</subject><text>text of " + id + "</text><clientId>" + clientId + "</clientId></message>";
}

std::shared_ptr<Message> message(const std::string& id, const std::string& clientId, const Text& text = std::nullopt,
                                 const Text& subject = std::nullopt) {
    auto m = MessageRecord::create();
    m->setBlastID(std::string("b"));
    m->setId(id);
    m->setClientId(clientId);
    m->setText(text);
    m->setSubject(subject);
    return m;
}

class PushProcessingTest : public CoreFixture {
protected:
    PushProcessingTest() {
        configured();
        workspace = addWorkspace("c1");
        http().answer(eventsUrl(), FakeHttpClient::reply(""));
        answer("getGeoFences", "<geofences></geofences>");
        answer("getBeacons", "<beacons></beacons>");
        answer("getPendingMessages", "<messages></messages>");
    }
    ~PushProcessingTest() override { facade->setDelegate(nullptr); }

    std::shared_ptr<WorkspaceRecord> addWorkspace(const std::string& clientId) {
        auto added = ws(clientId, true);
        added->setDelegate(FacadeWorkspaceDelegate::create(facade));
        facade->workspacesSubscribed()->append(added);
        return added;
    }
    void push(const Value::Dictionary& payload, Results& results) {
        PushProcessing(*facade, location).processRemoteNotification(payload, results.handler());
    }
    std::shared_ptr<HostDelegate> hostHearing(bool fromWorkspace, bool plain) {
        auto host = std::make_shared<HostDelegate>(fromWorkspace, plain);
        facade->setDelegate(host);
        return host;
    }
    std::shared_ptr<MemoryInboxStore> inboxStore() {
        auto inboxes = std::make_shared<MemoryInboxStore>();
        platform->inboxStore = inboxes;
        return inboxes;
    }
    std::shared_ptr<WorkspaceRecord> workspace;
    std::shared_ptr<RecordingLocation> location = std::make_shared<RecordingLocation>(*facade, http());
};

TEST_F(PushProcessingTest, CommandTable) {
    struct Row {
        Value type;  // null: no "type" key
        std::string msgId;
        bool servicesEnabled;
        std::vector<std::string> locationCalls;
        std::string request;  // the one service request the push makes, "" for none
        unsigned long result;
    };
    const std::string geoId = "GEOPUSH:m1:10.5:-66.9:200";
    const std::vector<Row> rows{
        {"GET_LOC", "r1", true, {"sendLastLocation(r1,Camp,-,c1)"}, "", 0},
        {"CRT_REGION", "g1", true, {}, "getGeoFences", 0},
        {"UPDT_REGION", "g1", true, {}, "getGeoFences", 0},
        {"DLT_REGION", "g1", true, {"unregisterRegion(g1,Camp,DLT_REGION,c1)"}, "getGeoFences", 0},
        {"TXT_MSG", "m1", true, {}, "getPendingMessages", 0},
        {"GEOFENCE", "m1", true, {}, "getPendingMessages", 0},
        {"BEACON", "m1", true, {}, "getPendingMessages", 0},
        {"GEO_PUSH", geoId, true, {"processGeoPush(" + geoId + ",Camp,-,c1)"}, "", 0},
        {"GEOPUSH", "x-GEOPUSH-y", true, {"processGeoPush(x-GEOPUSH-y,Camp,-,c1)"}, "", 0},
        {"GEOPUSH", "geopush:m1:1:1:1", true, {}, "", 1},
        {"GEO_PUSH", geoId, false, {}, "", 1},
        {"CRT_BEACON", "b1", true, {}, "getBeacons", 0},
        {"UPDT_BEACON", "b1", true, {}, "getBeacons", 0},
        {"DLT_BEACON", "b1", true, {"unregisterBeacon(b1,Camp,DLT_BEACON,c1)"}, "getBeacons", 0},
        {"txt_msg", "m1", true, {}, "", 1},
        {"TXT_MSG ", "m1", true, {}, "", 1},
        {"", "m1", true, {}, "", 1},
        {Value(), "m1", true, {}, "", 1},
        {Value(7), "m1", true, {}, "", 1},
    };
    const std::vector<std::string> services{"getGeoFences", "getBeacons", "getPendingMessages", "getMessage"};
    for (const Row& row : rows) {
        const std::string type = row.type.isNull() ? "(null)" : row.type.describe();
        SCOPED_TRACE("type '" + type + "' msgId " + row.msgId);
        http().clearRequests();
        location = std::make_shared<RecordingLocation>(*facade, http());
        location->servicesEnabled = row.servicesEnabled;
        Value::Dictionary payload{{"msgId", row.msgId}, {"subject", "Camp"}, {"clientId", "c1"}};
        if (!row.type.isNull()) payload["type"] = row.type;
        Results results;
        push(payload, results);
        ASSERT_TRUE(idle());

        EXPECT_EQ(results.values(), std::vector<unsigned long>{row.result});
        EXPECT_EQ(location->calls(), row.locationCalls);
        for (const auto& service : services) EXPECT_EQ(sent(service), service == row.request ? 1u : 0u) << service;
        // The event names the command as it came, carries the id and the
        // campaign, and belongs to the push's workspace.
        auto logged = events(type);
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_NE(logged[0].find("client=c1&"), std::string::npos) << logged[0];
        EXPECT_NE(logged[0].find("&campaign_name=Camp"), std::string::npos) << logged[0];
        // The task was begun under the id and is ended again.
        EXPECT_EQ(facade->backgroundTasks().entry(row.msgId), std::optional<BackgroundTasks::TaskId>(0));
    }
}

TEST_F(PushProcessingTest, PushWithoutJoinedWorkspaceAnswersNoDataAtOnce) {
    struct Row {
        const char* name;
        Value::Dictionary payload;
        bool configured;
    };
    const std::vector<Row> rows{
        {"client id not joined", {{"msgId", 42}, {"type", "TXT_MSG"}, {"clientId", "c2"}}, true},
        {"no client id", {{"msgId", 42}, {"type", "TXT_MSG"}}, true},
        {"null client id", {{"msgId", 42}, {"type", "TXT_MSG"}, {"clientId", Value()}}, true},
        {"client id differs in case", {{"msgId", 42}, {"type", "TXT_MSG"}, {"clientId", "C1"}}, true},
        {"not configured", {{"msgId", 42}, {"type", "TXT_MSG"}, {"clientId", "c1"}}, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        forget();
        if (row.configured) store->set("configureQuorvela", Value("YES"));
        else store->remove("configureQuorvela");
        Results results;
        push(row.payload, results);
        // Answered before anything is queued.
        EXPECT_EQ(results.values(), std::vector<unsigned long>{1});
        ASSERT_TRUE(idle());
        EXPECT_EQ(results.values(), std::vector<unsigned long>{1});
        EXPECT_TRUE(http().requests().empty());
        EXPECT_FALSE(facade->backgroundTasks().entry("42").has_value());
        EXPECT_TRUE(location->calls().empty());
        EXPECT_TRUE(log().contains("QUORVELA-DEBUG: didReceiveRemoteNotification"));
        EXPECT_EQ(log().contains("getWorkspaceWithClientID: check in the configuration file"), !row.configured);
    }
}

// A numeric id is named as its text, a missing one as "(null)", and without a
// subject the event names no campaign.
TEST_F(PushProcessingTest, EventNamesTheIdAsSentAndNoCampaignWithoutSubject) {
    Results results;
    push({{"msgId", 42}, {"type", "TXT_MSG"}, {"clientId", "c1"}}, results);
    push({{"type", "CRT_BEACON"}, {"clientId", "c1"}}, results);
    ASSERT_TRUE(idle());
    EXPECT_EQ(results.values(), (std::vector<unsigned long>{0, 0}));
    for (const auto& [type, id] : {std::pair{"TXT_MSG", "42"}, std::pair{"CRT_BEACON", "(null)"}}) {
        SCOPED_TRACE(type);
        auto logged = events(type);
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_NE(logged[0].find(std::string("&eventtype=") + type + "&extrainfo=" + id + "&"), std::string::npos)
            << logged[0];
        EXPECT_EQ(logged[0].find("campaign_name"), std::string::npos) << logged[0];
        EXPECT_EQ(facade->backgroundTasks().entry(id), std::optional<BackgroundTasks::TaskId>(0));
    }
}

TEST_F(PushProcessingTest, FailedPendingRequestLogsErrorAndAnswersFailed) {
    http().answer(url("getPendingMessages"), FakeHttpClient::failure("refused"));
    Results results;
    facade->getUnreadMessagesWithHandler(results.handler());
    ASSERT_TRUE(idle());
    EXPECT_EQ(results.values(), std::vector<unsigned long>{2});
    auto errors = events("ERROR");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("&extrainfo=Messages%20-%20Error"), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find("&campaign_name=Error%20PENDING%20MESSAGES"), std::string::npos) << errors[0];
}

TEST_F(PushProcessingTest, UnconfiguredMessageOperationsDoNothing) {
    store->remove("configureQuorvela");
    Results results;
    facade->getUnreadMessagesWithHandler(results.handler());
    facade->pushProcessing().pendingMessagesRetrieved({message("m1", "c1")});
    ASSERT_TRUE(idle());
    EXPECT_TRUE(results.values().empty());
    EXPECT_TRUE(http().requests().empty());
    EXPECT_TRUE(workspace->getMessages().empty());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: getUnreadMessagesWithHandler: check in the configuration file"));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: pendingMessagesRetrieved: check in the configuration file"));
}

// The only table of the host delegate's optional push calls.
TEST_F(PushProcessingTest, HostDelegateHearsTheOperationsItImplementsInOrder) {
    struct Row {
        bool fromWorkspace;
        bool plain;
        std::vector<std::string> calls;
    };
    const std::vector<Row> rows{
        {true, true, {"fromWorkspace:m1@c1", "plain:m1", "fromWorkspace:m2@c1", "plain:m2"}},
        {true, false, {"fromWorkspace:m1@c1", "fromWorkspace:m2@c1"}},
        {false, true, {"plain:m1", "plain:m2"}},
        {false, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.fromWorkspace) + std::to_string(row.plain));
        http().clearRequests();
        workspace->setMessages({});
        auto host = hostHearing(row.fromWorkspace, row.plain);
        facade->pushProcessing().pendingMessagesRetrieved(
            {message("m1", "c1", std::string("Hello"), std::string("Spring")), message("m2", "c1")});
        ASSERT_TRUE(idle());
        EXPECT_EQ(host->calls(), row.calls);
        auto received = events("PUSHRECEIVED");
        ASSERT_EQ(received.size(), 2u);
        EXPECT_TRUE(std::any_of(received.begin(), received.end(), [](const std::string& u) {
            return u.find("client=c1&") != std::string::npos &&
                   u.find("&extrainfo=Hello&campaign_name=Spring") != std::string::npos;
        }));
    }
}

TEST_F(PushProcessingTest, JsonPayload) {
    struct Row {
        std::string json;
        bool accepted;
    };
    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "{\"a\":";
    deep += "1";
    for (int i = 0; i < 200; ++i) deep += "}";
    const std::vector<Row> rows{
        {R"({"msgId": 42, "type": "TXT_MSG", "clientId": "c1", "aps": {"content-available": 1}})", true},
        {R"({"msgId":"x","type":"CRT_REGION","clientId":"c1","subject":null})", true},
        {"", false},
        {R"({"msgId": 42, "type": "TXT_MSG", "clientId": "c1",})", false},
        {R"([{"msgId": 42, "type": "TXT_MSG", "clientId": "c1"}])", false},
        {"null", false},
        {R"({"msgId": 42, "type": "TXT_MSG", "clientId": "c1", "x": )" + deep + "}", false},
        {std::string("{\"type\":\"TXT_MSG\",\"clientId\":\"c1\"}\0garbage", 40), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.json.substr(0, 60));
        forget();
        Results results;
        facade->processRemoteNotification(row.json, results.handler());
        ASSERT_TRUE(idle());
        EXPECT_EQ(results.values(), std::vector<unsigned long>{row.accepted ? 0ul : 1ul});
        EXPECT_EQ(eventRequests(), row.accepted ? 1u : 0u);
        EXPECT_EQ(log().contains("QUORVELA-DEBUG: processRemoteNotification: the payload is not a JSON object"),
                  !row.accepted);
    }
}

TEST_F(PushProcessingTest, SingleMessageFetchInEitherWorkspace) {
    addWorkspace("client-1");  // the facade's own client id
    answer("getMessage", messageXml("m7", "client-1", "S"));
    Results results;
    facade->processPushNotificationForMsgID(std::string("m7"), results.handler());
    ASSERT_TRUE(idle());
    EXPECT_EQ(http().requestCount(url("getMessage") + "m7/client-1/"), 1u);

    http().clearRequests();
    facade->processPushNotificationForMsgID(std::string("m8"), workspace, results.handler());
    ASSERT_TRUE(idle());
    EXPECT_EQ(http().requestCount(url("getMessage") + "m8/c1/"), 1u);
    EXPECT_EQ(results.values(), (std::vector<unsigned long>{0, 0}));

    // Without the workspace nothing is asked and nobody is answered.
    http().clearRequests();
    facade->processPushNotificationForMsgID(std::string("m9"), nullptr, results.handler());
    facade->setWorkspacesSubscribed(nullptr);
    facade->processPushNotificationForMsgID(std::string("m9"), results.handler());
    ASSERT_TRUE(idle());
    EXPECT_TRUE(http().requests().empty());
    EXPECT_EQ(results.values().size(), 2u);
}

// Every command, through the facade's own location operations, against a
// service that answers, refuses the connection or sends garbage: each push's
// handler is called exactly once.
TEST_F(PushProcessingTest, EveryCommandAnswersExactlyOnce) {
    // The facade's own location operations, with a position inside the geo pushes' circle.
    grantedLocationManager(*platform);
    Location fix;
    fix.latitude = 10.5;
    fix.longitude = -66.9;
    facade->setQuorvelaLastLocation(fix);

    enum class Service { Good, Refused, Garbage };
    const std::vector<std::string> commands{"GET_LOC",     "CRT_REGION", "UPDT_REGION", "DLT_REGION", "TXT_MSG",
                                            "GEOFENCE",    "BEACON",     "GEO_PUSH",    "GEOPUSH",    "CRT_BEACON",
                                            "UPDT_BEACON", "DLT_BEACON", "UNKNOWN"};
    for (Service service : {Service::Good, Service::Refused, Service::Garbage}) {
        http().clearAnswers();
        http().answer(eventsUrl(), FakeHttpClient::reply(""));
        const auto answerAs = [&](const std::string& op, const std::string& good) {
            http().answer(url(op), service == Service::Good      ? FakeHttpClient::reply(good)
                                   : service == Service::Refused ? FakeHttpClient::failure("refused")
                                                                 : FakeHttpClient::reply("<<not xml"));
        };
        answerAs("getGeoFences", "<geofences></geofences>");
        answerAs("getBeacons", "<beacons></beacons>");
        answerAs("getPendingMessages", "<messages></messages>");
        answerAs("getMessage", messageXml("m1", "c1", "S"));
        answerAs("sendLocation", "<transactionResult><successful>true</successful></transactionResult>");
        for (const auto& command : commands) {
            SCOPED_TRACE(command + " service " + std::to_string(static_cast<int>(service)));
            const std::string id = command.rfind("GEO", 0) == 0 ? "GEOPUSH:m1:10.5:-66.9:200" : "id-" + command;
            Results results;
            facade->processRemoteNotification(Value::Dictionary{{"msgId", id}, {"type", command}, {"clientId", "c1"}},
                                              results.handler());
            ASSERT_TRUE(idle());
            auto values = results.values();
            ASSERT_EQ(values.size(), 1u);
            unsigned long expected = service == Service::Good ? 0 : 2;
            if (command == "UNKNOWN") expected = 1;
            // The location report counts any reply as an answer.
            if (command == "GET_LOC" && service == Service::Garbage) expected = 0;
            EXPECT_EQ(values[0], expected);
        }
    }
}

// A reply for two workspaces with a message of none between: each workspace
// takes its messages in one commit (the last also ends the reply's journal
// entry), and only then does the host hear of them, in reply order.
TEST_F(PushProcessingTest, AReplyIsStoredBeforeTheHostHearsAndInReplyOrder) {
    auto inboxes = inboxStore();
    addWorkspace("c2");
    auto host = hostHearing(true, false);
    const auto entry = inboxes->journal({{{"pendingMessagesReply", Value("<messages/>")}}});
    facade->pushProcessing().pendingMessagesRetrieved(
        {message("a1", "c1"), message("b1", "c2"), message("x", "nobody", std::nullopt, std::string("Lost")),
         message("a2", "c1")},
        entry);
    ASSERT_TRUE(idle());
    EXPECT_EQ(host->calls(),
              (std::vector<std::string>{"fromWorkspace:a1@c1", "fromWorkspace:b1@c2", "fromWorkspace:a2@c1"}));
    EXPECT_EQ(inboxes->commits(), 2u);
    EXPECT_TRUE(inboxes->journalEntries().empty());
    EXPECT_EQ(inboxes->load("c1-messages")->size(), 2u);
    EXPECT_EQ(inboxes->load("c2-messages")->size(), 1u);
    // The message of no subscribed workspace is reported, under its subject.
    const auto errors = events("ERROR");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find("&extrainfo=ClientId%20not%20found%20in%20subscribed%20Workspaces&campaign_name=Lost"),
              std::string::npos)
        << errors[0];
}

// A run that ended between keeping a reply and storing it: the next start
// takes the reply from the journal as if it had just arrived.
TEST_F(PushProcessingTest, AJournaledReplyIsTakenAtTheNextStart) {
    auto inboxes = inboxStore();
    auto host = hostHearing(true, false);
    inboxes->journal({{{"pendingMessagesReply", Value("<messages>" + messageXml("m7", "c1", "s") + "</messages>")}}});
    inboxes->journal({{{"pendingMessagesReply", Value("<messages><message>")}}});  // cut short: dropped
    facade->pushProcessing().takeJournaledReplies();
    ASSERT_TRUE(idle());
    EXPECT_EQ(host->calls(), std::vector<std::string>{"fromWorkspace:m7@c1"});
    EXPECT_EQ(workspace->getMessages().size(), 1u);
    EXPECT_TRUE(inboxes->journalEntries().empty());
}

// The loader keeps a reply in the journal before its "completed" line, and a
// reply that cannot be read does not stay there.
TEST_F(PushProcessingTest, TheLoaderKeepsAReplyBeforeSayingItArrived) {
    auto inboxes = inboxStore();
    answer("getPendingMessages", "<messages>" + messageXml("m8", "c1", "s") + "</messages>");
    Results results;
    push({{"msgId", "m8"}, {"type", "TXT_MSG"}, {"clientId", "c1"}}, results);
    ASSERT_TRUE(idle());
    EXPECT_EQ(results.values(), std::vector<unsigned long>{0});
    EXPECT_EQ(workspace->getMessages().size(), 1u);
    EXPECT_TRUE(inboxes->journalEntries().empty());
    EXPECT_EQ(inboxes->commits(), 1u) << "the inbox change and the end of the entry are one step";

    answer("getPendingMessages", "<messages><message>");
    push({{"msgId", "m9"}, {"type", "TXT_MSG"}, {"clientId", "c1"}}, results);
    ASSERT_TRUE(idle());
    EXPECT_EQ(results.values(), (std::vector<unsigned long>{0, 2}));
    EXPECT_TRUE(inboxes->journalEntries().empty());
}

}  // namespace
}  // namespace quorvela::test
