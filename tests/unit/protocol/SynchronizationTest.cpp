#include <future>

#include "model/GeofenceRecord.h"
#include "model/MessageRecord.h"
#include "model/WorkspaceProtocol.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

class SyncRecorder : public WorkspaceProtocol {
public:
    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>&) override { add("workspace"); }
    void synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>&) override { add("geofences"); }
    void synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>&) override { add("beacons"); }
    void pushReceived(const std::shared_ptr<Message>& m, const std::shared_ptr<WorkspaceRecord>&) override {
        add("push " + m->id().value_or("(null)"));
    }
    Events events() {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void add(const std::string& e) {
        std::lock_guard lock(mutex_);
        events_.push_back(e);
    }

private:
    std::mutex mutex_;
    Events events_;
};

const std::string kGeofences = serviceBaseUrl() + "/getGeoFences/";
const std::string kBeacons = serviceBaseUrl() + "/getBeacons/";
const std::string kGeofenceReply =
    "<l><geoFence><regionId>g1</regionId></geoFence><geoFence><regionId>g2</regionId></geoFence></l>";
const std::string kBeaconReply = "<l><beacon><regionId>b1</regionId><type>BEACON</type></beacon></l>";

class SynchronizationTest : public LoaderTest {
protected:
    SynchronizationTest() {
        ws->setAppNameSource([] { return std::optional<std::string>("Demo"); });
        ws->setDelegate(sync);
    }
    void idle() { ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10))); }

    std::shared_ptr<SyncRecorder> sync = std::make_shared<SyncRecorder>();
};

TEST_F(SynchronizationTest, SynchronizeTwiceStartsOnePairAndTheListsAreArchived) {
    std::promise<void> gate;
    auto released = gate.get_future().share();
    auto held = [released](const std::string& body) {
        return FakeHttpClient::Handler([released, body](const std::string&) {
            released.wait();
            return FakeHttpClient::reply(body);
        });
    };
    http().answer(kGeofences, held(kGeofenceReply));
    http().answer(kBeacons, held(kBeaconReply));
    ws->synchronize();
    EXPECT_FALSE(ws->isSynchronized());
    ws->synchronize();
    gate.set_value();
    idle();
    EXPECT_EQ(http().requestCount(kGeofences), 1u);
    EXPECT_EQ(http().requestCount(kBeacons), 1u);
    EXPECT_EQ(sync->events(), Events{"workspace"});
    EXPECT_TRUE(ws->isSynchronized());
    EXPECT_EQ(ws->getGeofences().size(), 2u);
    EXPECT_EQ(ws->getBeacons().size(), 1u);
    // The request carries the facade's application name from the source.
    EXPECT_NE(http().requests()[0].find("/Demo/abc/"), std::string::npos);

    auto restored = WorkspaceRecord::initWithCoder(platform, ws->encodeWithCoder());
    ASSERT_EQ(restored->getGeofences().size(), 2u);
    EXPECT_EQ(restored->getGeofences()[1]->regionId(), "g2");
    ASSERT_EQ(restored->getBeacons().size(), 1u);
    EXPECT_EQ(restored->getBeacons()[0]->type(), "BEACON");
}

TEST_F(SynchronizationTest, FailedFetchesStillEndThePassOnce) {
    auto old = GeofenceRecord::create();
    old->setRegionId("old");
    ws->setGeofences({old});
    ws->saveGeofences();
    http().answer(kGeofences, FakeHttpClient::failure("Connection refused"));
    http().answer(kBeacons, FakeHttpClient::reply("<malformed"));
    ws->synchronize();
    idle();
    EXPECT_EQ(sync->events(), Events{"workspace"});
    EXPECT_TRUE(ws->isSynchronized());
    ASSERT_EQ(ws->getGeofences().size(), 1u);
    EXPECT_EQ(ws->getGeofences()[0]->regionId(), "old");
    EXPECT_EQ(ws->loadGeofence().size(), 1u);
    // No localisation in the bundle: the key itself is logged.
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: GeoFences"));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: Beacons"));
}

TEST_F(SynchronizationTest, SingleFetchWhileIdleReportsItsOwnList) {
    http().answer(kBeacons, FakeHttpClient::reply(kBeaconReply));
    http().answer(kGeofences, FakeHttpClient::failure());
    EXPECT_EQ(run([&] { ws->fetchBeaconsWithCompletionHandler(recorder->completion()); }), Events{"completion 0"});
    EXPECT_EQ(sync->events(), Events{"beacons"});
    EXPECT_EQ(run([&] { ws->fetchGeofencesWithCompletionHandler(recorder->completion()); }), Events{"completion 2"});
    EXPECT_EQ(sync->events(), (Events{"beacons", "geofences"}));
    EXPECT_TRUE(ws->isSynchronized());
}

TEST_F(SynchronizationTest, StateMachineThroughTheCallbacks) {
    auto stored = MessageRecord::create();
    stored->setId("stored");
    ws->setMessages({stored});
    ws->saveMessages();
    auto unsaved = MessageRecord::create();
    unsaved->setId("unsaved");
    ws->setMessages({unsaved});
    // A pass runs; a single geofence fetch during it clears its flag again,
    // so the pass waits for that fetch too.
    ws->setInProgress(true);
    ws->setSyncGeofence(false);
    ws->setSyncBeacons(false);
    ws->checkGeoFencesSuccess({});
    ws->setSyncGeofence(false);  // what a single fetch started now does
    ws->loadBeaconsSuccess({});
    EXPECT_FALSE(ws->isSynchronized());
    EXPECT_TRUE(sync->events().empty());
    ws->checkGeoFencesReturnedError("Geofence Error: x");
    EXPECT_TRUE(ws->isSynchronized());
    EXPECT_EQ(sync->events(), Events{"workspace"});
    // The end of the pass reloads the inbox from its store.
    ASSERT_EQ(ws->getMessages().size(), 1u);
    EXPECT_EQ(ws->getMessages()[0]->id(), "stored");
    ws->checkSynchronizeEnd();  // nothing runs
    ws->loadBeaconsReturnedError("Beacons Error: x");
    EXPECT_EQ(sync->events(), (Events{"workspace", "beacons"}));
}

TEST_F(SynchronizationTest, ResultDuringTheEndStepBelongsToTheNextState) {
    class Reentrant : public SyncRecorder {
    public:
        void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& w) override {
            SyncRecorder::synchronicedWorkspace(w);
            w->checkGeoFencesSuccess({});  // arrives while the end step runs
        }
    };
    auto reentrant = std::make_shared<Reentrant>();
    ws->setDelegate(reentrant);
    ws->setInProgress(true);
    ws->checkGeoFencesSuccess({});
    ws->loadBeaconsSuccess({});
    EXPECT_EQ(reentrant->events(), (Events{"workspace", "geofences"}));
}

TEST_F(SynchronizationTest, FetchMessageGoesIntoTheInbox) {
    const std::string prefix = serviceBaseUrl() + "/getMessage/";
    http().answer(prefix, FakeHttpClient::reply("<message><id>m1</id><blastID>b</blastID></message>"));
    EXPECT_EQ(run([&] { ws->fetchMessageWithID("m1", recorder->completion()); }), Events{"completion 0"});
    EXPECT_EQ(sync->events(), Events{"push m1"});
    ASSERT_EQ(ws->getMessages().size(), 1u);
    http().answer(prefix, FakeHttpClient::reply("<broken"));
    EXPECT_EQ(run([&] { ws->fetchMessageWithID("m2", recorder->completion()); }), Events{"completion 2"});
    EXPECT_EQ(ws->getMessages().size(), 1u);
    EXPECT_EQ(sync->events().size(), 1u);
}

TEST_F(SynchronizationTest, SendMessageNeedsAStoredUser) {
    for (const Value& user : {Value(), Value("")}) {
        if (user.isNull()) platform->keyValueStore->remove("clientUserID");
        else platform->keyValueStore->set("clientUserID", user);
        ws->sendMessage(std::string("hello"));
        idle();
    }
    EXPECT_EQ(http().requests().size(), 0u);
    EXPECT_EQ(log().count("sendMessage: User can't be null or empty"), 2u);
    platform->keyValueStore->set("clientUserID", Value("user-7"));
    ws->sendMessage(std::string("hello"));
    idle();
    ASSERT_EQ(http().requests().size(), 1u);
    EXPECT_NE(http().requests()[0].find("/sendResponse/aGVsbG8=/user-7/Demo/IOS/abc/"), std::string::npos);
}

}  // namespace
}  // namespace quorvela::test
