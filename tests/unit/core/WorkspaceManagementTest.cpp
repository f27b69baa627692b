#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "core/FacadeWorkspaceDelegate.h"
#include "core/WorkspaceManagement.h"
#include "model/BeaconRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/Quorvela.h"
#include "quorvela/platform/CircularRegion.h"

namespace quorvela::test {
namespace {

class ReadyCounter : public QuorvelaProtocol {
public:
    bool implements(Operation operation) const override {
        return (operation != Operation::QuorvelaReady || wantsReady) && QuorvelaProtocol::implements(operation);
    }
    void QuorvelaReady() override { ++ready; }
    std::atomic<int> ready{0};
    std::atomic<bool> wantsReady{true};
};

class WorkspaceManagementTest : public CoreFixture {
protected:
    WorkspaceManagementTest() {
        configured();
        facade->setDelegate(delegate);
        store->set("clientUserID", Value("alice"));
    }

    std::shared_ptr<WorkspaceRecord> defaultWs(bool subscribed) { return ws("client-1", subscribed, "secret"); }

    static std::string xmlOf(const std::vector<std::shared_ptr<WorkspaceRecord>>& list) {
        std::string body = "<workspaces>";
        for (const auto& w : list)
            body += "<workspace><clientId>" + *w->clientId() + "</clientId><name>" + *w->name() + "</name><publicKey>" +
                    *w->publicKey() + "</publicKey><subscribed>" + (w->subscribed() ? "true" : "false") +
                    "</subscribed></workspace>";
        return body + "</workspaces>";
    }
    static std::vector<std::string> ids(const std::vector<std::shared_ptr<WorkspaceRecord>>& list) {
        std::vector<std::string> out;
        for (const auto& w : list) out.push_back(w->clientId().value_or("(null)"));
        return out;
    }
    std::vector<std::string> storedIds(const std::string& key) {
        return ids(WorkspaceRecord::unarchiveList(platform, store->get(key)));
    }
    void setSubscribed(std::vector<std::shared_ptr<WorkspaceRecord>> list) {
        facade->setWorkspacesSubscribed(WorkspaceList::create(std::move(list)));
    }
    void setAvailable(std::vector<std::shared_ptr<WorkspaceRecord>> list) {
        facade->setWorkspaces(WorkspaceList::create(std::move(list)));
    }
    std::vector<std::shared_ptr<WorkspaceRecord>> subscribed() { return facade->workspacesSubscribed()->snapshot(); }
    std::vector<std::shared_ptr<WorkspaceRecord>> available() { return facade->workspaces()->snapshot(); }
    static bool reportsToFacade(const std::shared_ptr<WorkspaceRecord>& w) {
        return std::dynamic_pointer_cast<FacadeWorkspaceDelegate>(w->delegate()) != nullptr;
    }

    std::shared_ptr<ReadyCounter> delegate = std::make_shared<ReadyCounter>();
};

TEST_F(WorkspaceManagementTest, MergesKeepStoredObjectsInOrderAndStoreTheResult) {
    struct Row {
        const char* name;
        std::vector<std::string> stored;
        std::vector<std::string> received;
        std::vector<std::string> expected;
    };
    const std::vector<Row> rows{
        {"[A,B] into [B,C]", {"B", "C"}, {"A", "B"}, {"B", "A"}},
        {"empty reply", {"A", "B"}, {}, {}},
        {"same set, other order", {"A", "B"}, {"B", "A"}, {"A", "B"}},
    };
    for (bool subscribedList : {true, false}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (subscribedList ? " (subscribed)" : " (available)"));
            std::vector<std::shared_ptr<WorkspaceRecord>> stored, received;
            for (const auto& id : row.stored) stored.push_back(ws(id));
            for (const auto& id : row.received) received.push_back(ws(id));
            if (subscribedList) {
                setSubscribed(stored);
                facade->workspaceManagement().subscribedWorkspacesLoadedSuccessfully(received);
            } else {
                setAvailable(stored);
                facade->workspaceManagement().availableWorkspacesLoadedSuccessfully(received);
            }
            const auto result = subscribedList ? subscribed() : available();
            EXPECT_EQ(ids(result), row.expected);
            EXPECT_EQ(storedIds(subscribedList ? "Workspace-Subscribed" : "Workspace-Available"), row.expected);
            for (const auto& w : result) {
                // An entry that was stored already stays the very same object.
                for (const auto& old : stored)
                    if (old->isEqual(*w)) EXPECT_EQ(old, w);
                EXPECT_EQ(reportsToFacade(w), subscribedList);
                EXPECT_EQ(w->appName(), std::optional<std::string>("demo app"));
            }
        }
    }
    EXPECT_EQ(sent("joinWorkspace"), 0u);

    // The workspaces hold their facade weakly: it goes when the host lets it go.
    std::weak_ptr<QuorvelaCore> weak = facade;
    auto kept = subscribed().at(0);
    facade.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(kept->appName().has_value());
}

TEST_F(WorkspaceManagementTest, DefaultWorkspaceIsJoinedOnceWhenReportedNotSubscribed) {
    struct Row {
        const char* name;
        std::vector<std::shared_ptr<WorkspaceRecord>> received;
        std::size_t joins;
    };
    const std::vector<Row> rows{
        {"reported twice, not joined", {ws("A", true), defaultWs(false), defaultWs(false)}, 1},
        {"joined", {ws("A", true), defaultWs(true)}, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        forget();
        answer("getWorkspaces", xmlOf(row.received));
        answer("joinWorkspace", kSuccess);
        facade->fetchSubscribedWorkspacesWithCompletionHandler({});
        ASSERT_TRUE(idle());
        EXPECT_EQ(sent("joinWorkspace"), row.joins);
        if (row.joins) EXPECT_NE(http().requests().back().find("/client-1/"), std::string::npos);
        EXPECT_EQ(log().count("QUORVELA-DEBUG: Workspace: READY"), 1u);
        // The default workspace is subscribed once, never twice.
        EXPECT_EQ(ids(subscribed()), (std::vector<std::string>{"A", "client-1"}));
    }
}

TEST_F(WorkspaceManagementTest, RefusalsWriteTheirLineAndSendNothing) {
    struct Row {
        const char* name;
        bool configured;
        bool user;
        std::function<void(QuorvelaCore&, QuorvelaCore::Completion)> call;
        std::string line;
    };
    auto other = ws("B");
    auto def = defaultWs(true);
    const std::vector<Row> rows{
        {"fetch available, not configured", false, true,
         [](QuorvelaCore& f, auto h) { f.fetchAvailableWorkspacesWithCompletionHandler(h); },
         "fetchAvailableWorkspacesWithCompletionHandler" + kCheckConfiguration},
        {"fetch subscribed, no user", true, false,
         [](QuorvelaCore& f, auto h) { f.fetchSubscribedWorkspacesWithCompletionHandler(h); },
         "fetchSubscribedWorkspaces: User can't be null or empty"},
        {"filter, not configured", false, true,
         [](QuorvelaCore& f, auto h) { f.getAvailableWorkspaceswithFilter(std::string("x"), h); },
         "getAvailableWorkspaceswithFilter" + kCheckConfiguration},
        {"join, not configured", false, true, [other](QuorvelaCore& f, auto h) { f.joinWorkspace(other, h); },
         "JoinWorkspace" + kCheckConfiguration},
        {"join null", true, true, [](QuorvelaCore& f, auto h) { f.joinWorkspace(nullptr, h); },
         "joinWorkspace: Workspace can't be null"},
        {"join, no user", true, false, [other](QuorvelaCore& f, auto h) { f.joinWorkspace(other, h); },
         "JoinWorkspace: User can't be null or empty"},
        {"leave, not configured", false, true, [other](QuorvelaCore& f, auto h) { f.leaveWorkspace(other, h); },
         "LeaveWorkspace" + kCheckConfiguration},
        {"leave null", true, true, [](QuorvelaCore& f, auto h) { f.leaveWorkspace(nullptr, h); },
         "LeaveWorkspace: Workspace can't be null"},
        {"leave default", true, true, [def](QuorvelaCore& f, auto h) { f.leaveWorkspace(def, h); },
         "LeaveWorkspace: You are trying to delete workspaces by default and it is not allowed"},
        {"leave, no user", true, false, [other](QuorvelaCore& f, auto h) { f.leaveWorkspace(other, h); },
         "LeaveWorkspace: User can't be null or empty"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.configured) store->set("configureQuorvela", Value("YES"));
        else store->remove("configureQuorvela");
        if (row.user) store->set("clientUserID", Value("alice"));
        else store->set("clientUserID", Value(std::string()));
        setSubscribed({def, other});
        forget();
        std::atomic<int> handled{0};
        row.call(*facade, [&handled](unsigned long) { ++handled; });
        ASSERT_TRUE(idle());
        EXPECT_EQ(log().lines(), std::vector<std::string>{"QUORVELA-DEBUG: " + row.line});
        EXPECT_TRUE(http().requests().empty());
        EXPECT_EQ(handled.load(), 0);
        EXPECT_EQ(ids(subscribed()), (std::vector<std::string>{"client-1", "B"}));
    }
}

TEST_F(WorkspaceManagementTest, LeavingDropsTheWorkspaceLocallyEvenWhenRefused) {
    for (bool accepted : {true, false}) {
        SCOPED_TRACE(accepted);
        auto a = ws("A", true);
        setSubscribed({a, ws("B", true)});
        setAvailable({ws("C"), ws("A", true)});
        log().clear();
        answer("detachWorkspace", accepted ? kSuccess : kFailure);
        std::atomic<int> result{-1};
        facade->leaveWorkspace(a, [&result](unsigned long n) { result = static_cast<int>(n); });
        ASSERT_TRUE(idle());
        EXPECT_EQ(result.load(), 0);
        EXPECT_EQ(ids(subscribed()), std::vector<std::string>{"B"});
        EXPECT_FALSE(a->subscribed());
        EXPECT_EQ(available()[1], a);
        EXPECT_EQ(storedIds("Workspace-Subscribed"), std::vector<std::string>{"B"});
        EXPECT_EQ(storedIds("Workspace-Available"), (std::vector<std::string>{"C", "A"}));
        EXPECT_EQ(log().count("QUORVELA-DEBUG: WorkspaceUnsubscription"), accepted ? 0u : 1u);
    }
}

TEST_F(WorkspaceManagementTest, JoiningAddsOnceSynchronisesAndReportsToTheFacade) {
    auto first = ws("A", true);
    setSubscribed({ws("B", true), first});
    setAvailable({ws("A")});
    answer("joinWorkspace", kSuccess);
    auto again = ws("A");
    facade->joinWorkspace(again);
    ASSERT_TRUE(idle());
    // The repeated join replaces the earlier entry instead of adding a second one.
    EXPECT_EQ(ids(subscribed()), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(subscribed()[1], again);
    EXPECT_EQ(available()[0], again);
    EXPECT_TRUE(again->subscribed());
    EXPECT_TRUE(reportsToFacade(again));
    EXPECT_EQ(storedIds("Workspace-Subscribed"), (std::vector<std::string>{"B", "A"}));
    EXPECT_GE(sent("getGeoFences"), 1u);  // told to synchronise

    // A refused join changes nothing.
    answer("joinWorkspace", kFailure);
    facade->joinWorkspace(ws("D"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(ids(subscribed()), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(log().count("QUORVELA-DEBUG: WorkspaceSubscription"), 1u);

    // Replies that carry their own record leave nothing to add or drop.
    answer("joinWorkspace", "<r><successful>true</successful><workspace><clientId>X</clientId></workspace></r>");
    facade->joinWorkspace(ws("E"));
    answer("detachWorkspace", "<r><successful>false</successful><workspace><clientId>X</clientId></workspace></r>");
    facade->leaveWorkspace(ws("B"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(ids(subscribed()), (std::vector<std::string>{"B", "A"}));
}

TEST_F(WorkspaceManagementTest, EndOfSynchronisationPrunesAndRefreshesOnlyWhenAllAreDone) {
    auto& manager = softwareLocationManager(*platform);
    auto a = ws("A", true);
    auto b = ws("B", true);
    auto beacon = BeaconRecord::create();
    beacon->setRegionId(std::string("beacon-b"));
    beacon->setType(std::string("BEACON"));
    b->setBeacons({beacon});
    a->setGeofences({Geofence::initWithID("fence-a", 1.0, 2.0, 100.0f, "ENTER", "fence")});
    setSubscribed({a, b});
    manager.startMonitoringForRegion(CircularRegion::make(1.0, 2.0, 100.0, "unused"));
    manager.startMonitoringForRegion(CircularRegion::make(1.0, 2.0, 100.0, "beacon-b"));
    auto monitored = [&] {
        std::vector<std::string> out;
        for (const auto& region : manager.monitoredRegions()) out.push_back(region->identifier());
        std::sort(out.begin(), out.end());
        return out;
    };

    b->setInProgress(true);
    auto replacement = ws("A", true, "other-key");
    replacement->setName(std::string("renamed"));
    facade->synchronicedWorkspace(replacement);
    ASSERT_TRUE(idle());
    EXPECT_EQ(subscribed()[0], replacement);  // replaced by client id alone
    EXPECT_EQ(WorkspaceRecord::unarchiveList(platform, store->get("Workspace-Subscribed"))[0]->name(),
              std::optional<std::string>("renamed"));
    EXPECT_EQ(monitored(), (std::vector<std::string>{"beacon-b", "unused"}));
    EXPECT_EQ(log().count("synchronicedWorkspace renamed"), 0u);

    b->setInProgress(false);
    store->set("LoggingDisabled", Value(true));  // the line is written regardless
    facade->synchronicedWorkspace(b);
    ASSERT_TRUE(idle());
    EXPECT_EQ(log().count("synchronicedWorkspace name B"), 1u);
    const auto after = monitored();
    EXPECT_EQ(std::count(after.begin(), after.end(), "unused"), 0);
}

// Each start reloads both stored lists, asks for the subscribed one and says
// ready after any reply, but not when it could not ask.
TEST_F(WorkspaceManagementTest, StartUpReloadsTheListsAndSendsReadyAfterAnyReply) {
    struct Row {
        const char* name;
        HttpResult reply;
        bool user;
        bool fails;
        int ready;
        bool wantsReady = true;
    };
    const std::vector<Row> rows{
        {"readable reply", FakeHttpClient::reply(xmlOf({ws("A", true)})), true, false, 1},
        {"malformed reply", FakeHttpClient::reply("<workspaces><workspace>"), true, true, 1},
        {"dropped connection", FakeHttpClient::failure(), true, true, 1},
        {"refused: no user", FakeHttpClient::reply(xmlOf({})), false, false, 0},
        {"delegate without QuorvelaReady", FakeHttpClient::reply(xmlOf({ws("A", true)})), true, false, 0, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        delegate->ready = 0;
        delegate->wantsReady = row.wantsReady;
        forget();
        store->set("clientUserID", row.user ? Value("alice") : Value(std::string()));
        store->set("Workspace-Subscribed", WorkspaceRecord::archiveList({ws("S", true)}));
        store->set("Workspace-Available", WorkspaceRecord::archiveList({ws("D")}));
        http().answer(url("getWorkspaces"), row.reply);
        facade->initWorkspaces();
        ASSERT_TRUE(idle());
        EXPECT_EQ(delegate->ready.load(), row.ready);
        EXPECT_EQ(sent("getWorkspaces"), row.user ? 1u : 0u);
        // Every subscribed workspace was told to synchronise before the host heard of it.
        EXPECT_EQ(sent("getGeoFences") > 0, row.user);
        EXPECT_EQ(ids(subscribed()), std::vector<std::string>{row.user && !row.fails ? "A" : "S"});
        EXPECT_TRUE(reportsToFacade(subscribed()[0]));
        EXPECT_EQ(ids(available()), std::vector<std::string>{"D"});
        const auto lines = log().lines();
        EXPECT_EQ(std::count(lines.begin(), lines.end(), "QUORVELA-DEBUG: Workspace"), row.fails ? 1 : 0);
    }
}

// A workspace is its client id and key: for the merges, the look-ups and the
// default workspace.
TEST_F(WorkspaceManagementTest, AWorkspaceIsItsClientIdAndKey) {
    setSubscribed({ws("A", false, "k1")});
    facade->workspaceManagement().subscribedWorkspacesLoadedSuccessfully({ws("A", false, "k2")});
    ASSERT_EQ(subscribed().size(), 1u);
    EXPECT_EQ(subscribed()[0]->publicKey(), std::optional<std::string>("k2"));
    EXPECT_FALSE(facade->findObject(ws("A"), {}));
    EXPECT_TRUE(facade->findObject(ws("A"), {ws("B"), ws("A")}));

    setSubscribed({ws("A", true), defaultWs(true)});
    ASSERT_NE(facade->getDefaultWorkspace(), nullptr);
    EXPECT_EQ(facade->getDefaultWorkspace()->clientId(), std::optional<std::string>("client-1"));
    // Another key under the facade's client id is not the default workspace.
    setSubscribed({ws("client-1", true, "not-the-key")});
    EXPECT_EQ(facade->getDefaultWorkspace(), nullptr);
    // Unreadable stores give empty lists.
    store->set("Workspace-Subscribed", Value("garbage"));
    facade->loadWorkspaces();
    EXPECT_TRUE(subscribed().empty());
}

}  // namespace
}  // namespace quorvela::test
