#include <unordered_set>

#include <gtest/gtest.h>

#include "model/BeaconRecord.h"
#include "model/GeofenceRecord.h"
#include "model/MessageRecord.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
#include "model/WorkspaceService.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "support/CapturingLog.h"
#include "unit/model/ModelTestSupport.h"

namespace quorvela {
namespace {

using test::makeStorePlatform;

std::shared_ptr<Message> message(const std::string& blastID, const std::string& id, const std::string& text = "") {
    auto m = MessageRecord::create();
    m->setBlastID(blastID);
    m->setId(id);
    m->setText(text);
    return m;
}

std::shared_ptr<Beacon> beacon(const std::string& regionId, const std::optional<std::string>& type) {
    auto b = BeaconRecord::create();
    b->setRegionId(regionId);
    b->setType(type);
    return b;
}

TEST(Workspace, InitDefaultsAndTheStoresOfTheEmptyClientId) {
    auto platform = makeStorePlatform();
    platform->keyValueStore->set("-messages", RecordArchive::archiveRecords(std::vector{message("1", "a")}));
    auto ws = WorkspaceRecord::create(platform);
    EXPECT_EQ(ws->clientId(), std::optional<std::string>(""));
    EXPECT_EQ(ws->name(), std::optional<std::string>(""));
    EXPECT_EQ(ws->publicKey(), std::optional<std::string>(""));
    EXPECT_EQ(ws->callbackUrl(), std::nullopt);
    EXPECT_FALSE(ws->subscribed());
    EXPECT_FALSE(ws->inProgress());
    EXPECT_EQ(ws->lastPendingMessagesFetch(), 0.0);
    ASSERT_EQ(ws->getMessages().size(), 1u);
    EXPECT_EQ(ws->getMessages()[0]->blastID(), "1");
    EXPECT_TRUE(ws->getGeofences().empty());
    EXPECT_TRUE(ws->getBeacons().empty());
    EXPECT_EQ(ws->messagesStoreKey(), "-messages");
    ws->setClientId(std::string("abc"));
    EXPECT_EQ(ws->geofencesStoreKey(), "abc-geofences");
    ws->setClientId(std::nullopt);
    EXPECT_EQ(ws->beaconsStoreKey(), "(null)-beacons");
}

TEST(Workspace, EqualityAndHashUseClientIdAndPublicKey) {
    auto platform = makeStorePlatform();
    auto a = WorkspaceRecord::create(platform);
    auto b = WorkspaceRecord::create(platform);
    for (const auto& w : {a, b}) {
        w->setClientId(std::string("c1"));
        w->setPublicKey(std::string("k1"));
        w->setName(std::string(w == a ? "A" : "B"));
    }
    b->setSubscribed(true);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
    b->setPublicKey(std::string("k2"));
    EXPECT_FALSE(a->isEqual(*b));
    b->setPublicKey(std::string("k1"));
    b->setClientId(std::string("C1"));
    EXPECT_FALSE(*a == *b);
    b->setClientId(std::nullopt);
    EXPECT_FALSE(a->isEqual(*b));
    a->setClientId(std::nullopt);
    EXPECT_TRUE(a->isEqual(*b));
    EXPECT_EQ(a->hash(), b->hash());
}

TEST(Workspace, ArchivingRewritesTheStoresAndRestoringReloadsThem) {
    auto platform = makeStorePlatform();
    auto ws = test::workspaceOf(platform, "abc");
    ws->setName(std::string("Shop"));
    ws->setPublicKey(std::string("key"));
    ws->setCallbackUrl(std::string("https://callback"));
    ws->setSubscribed(true);
    ws->setMessages({message("2", "b", "newest"), message("1", "a", "oldest")});
    ws->setGeofences({Geofence::initWithID("G1", 1.0, 2.0, 50.0f, "ENTER", "g")});
    ws->setBeacons({beacon("B1", "BEACON"), beacon("W1", "WIFI_BEACON")});

    const auto archive = ws->encodeWithCoder();
    EXPECT_EQ(archive.size(), 5u);
    EXPECT_EQ(archive.at("callbackURL"), Value("https://callback"));
    EXPECT_EQ(archive.at("subscribed"), Value(true));
    EXPECT_TRUE(platform->keyValueStore->contains("abc-messages"));
    EXPECT_TRUE(platform->keyValueStore->contains("abc-geofences"));
    EXPECT_TRUE(platform->keyValueStore->contains("abc-beacons"));

    // Serialising shows every field and each list's records.
    const auto restored = WorkspaceRecord::initWithCoder(platform, archive);
    EXPECT_TRUE(restored->isEqual(*ws));
    EXPECT_FALSE(restored->inProgress());
    EXPECT_EQ(restored->serialize(), ws->serialize());

    // A null field is an absent key and comes back null.
    ws->setCallbackUrl(std::nullopt);
    ws->setName(std::nullopt);
    const auto again = WorkspaceRecord::initWithCoder(platform, ws->encodeWithCoder());
    EXPECT_EQ(again->callbackUrl(), std::nullopt);
    EXPECT_EQ(again->name(), std::nullopt);
    const auto s = ws->serialize();
    EXPECT_EQ(s.count("callbackURL"), 0u);
    EXPECT_EQ(s.count("name"), 0u);
    EXPECT_EQ(s.at("clientId"), Value("abc"));
    EXPECT_EQ(s.at("publicKey"), Value("key"));
    EXPECT_EQ(s.at("subscribed"), Value("YES"));
    ASSERT_EQ(s.at("messages").asArray()->size(), 2u);
    EXPECT_EQ(*s.at("messages").asArray()->at(0).find("text"), Value("newest"));
    EXPECT_EQ(s.at("geofences").asArray()->size(), 1u);
    EXPECT_EQ(*s.at("beacons").asArray()->at(1).find("type"), Value("WIFI_BEACON"));
    EXPECT_EQ(*s.at("beacons").asArray()->at(0).find("activated"), Value("false"));
    ws->setSubscribed(false);
    EXPECT_EQ(ws->serialize().at("subscribed"), Value("NO"));
}

// The available and the subscribed list each hold their own object for one
// client id; archiving the one that only read the stores (or read them under
// another id, as a parsed reply does before its client id is set) must not
// write its outdated lists over what the other one stored since.
TEST(Workspace, ArchivingACopyThatOnlyReadTheStoresKeepsWhatAnotherStored) {
    auto platform = makeStorePlatform();
    auto held = test::workspaceOf(platform, "abc");
    held->processMessage(message("1", "first"));
    auto restored = WorkspaceRecord::initWithCoder(platform, {{"clientId", Value("abc")}});
    auto parsed = test::workspaceOf(platform, "abc");

    held->processMessage(message("2", "second"));
    held->checkGeoFencesSuccess({Geofence::initWithID("G1", 1.0, 2.0, 50.0f, "ENTER", "g")});
    held->loadBeaconsSuccess({beacon("B1", "BEACON")});
    WorkspaceRecord::archiveList({restored, parsed});

    const auto reread = WorkspaceRecord::initWithCoder(platform, {{"clientId", Value("abc")}});
    ASSERT_EQ(reread->getMessages().size(), 2u);
    EXPECT_EQ(reread->getMessages()[0]->id(), "second");
    EXPECT_EQ(reread->getGeofences().size(), 1u);
    EXPECT_EQ(reread->getBeacons().size(), 1u);

    // Once the copy's lists are set, archiving it writes them.
    parsed->setMessages({});
    WorkspaceRecord::archiveList({parsed});
    EXPECT_TRUE(WorkspaceRecord::initWithCoder(platform, {{"clientId", Value("abc")}})->getMessages().empty());
}

TEST(Workspace, BeaconsSplitByType) {
    auto ws = WorkspaceRecord::create(makeStorePlatform());
    ws->setBeacons({beacon("W1", "WIFI_BEACON"), beacon("B1", "BEACON"), beacon("X", "beacon"),
                    beacon("N", std::nullopt), beacon("B2", "BEACON")});
    const auto bluetooth = ws->getBluetoothBeacons();
    const auto wifi = ws->getWifiBeacons();
    ASSERT_EQ(bluetooth.size(), 2u);
    EXPECT_EQ(bluetooth[0]->regionId(), "B1");
    EXPECT_EQ(bluetooth[1]->regionId(), "B2");
    ASSERT_EQ(wifi.size(), 1u);
    EXPECT_EQ(wifi[0]->regionId(), "W1");
}

// The records alone (this test program links no request layer) have no
// service: a request fails at once and a synchronisation pass still ends.
TEST(Workspace, RequestsWithoutAServiceFailAtOnceAndEndThePass) {
    ASSERT_EQ(WorkspaceService::installed(), nullptr);
    struct Ends : WorkspaceProtocol {
        void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>&) override { ++passes; }
        int passes = 0;
    };
    auto platform = makeStorePlatform();
    auto log = std::make_shared<test::CapturingLog>();
    platform->systemLog = log;
    auto ws = WorkspaceRecord::create(platform);
    auto ends = std::make_shared<Ends>();
    ws->setDelegate(ends);

    std::vector<unsigned long> results;
    ws->fetchMessageWithID(std::string("m1"), [&](unsigned long r) { results.push_back(r); });
    ws->fetchGeofencesWithCompletionHandler([&](unsigned long r) { results.push_back(r); });
    EXPECT_EQ(results, (std::vector<unsigned long>{kFetchResultFailed, kFetchResultFailed}));
    ws->synchronize();
    EXPECT_EQ(ends->passes, 1);
    EXPECT_TRUE(ws->isSynchronized());
    ASSERT_FALSE(log->lines().empty());
    EXPECT_EQ(log->lines()[0], "Workspace: no service is installed; the request is not sent");
}

}  // namespace
}  // namespace quorvela
