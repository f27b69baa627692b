#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/LoadBeacons.h"
#include "protocol/RegionListParser.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "quorvela/Beacon.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;

class Recorder : public LoadBeaconsDelegate {
public:
    void loadBeaconsSuccess(const std::vector<std::shared_ptr<Beacon>>& list) override {
        std::lock_guard lock(mutex);
        events.push_back("success " + std::to_string(list.size()));
        beacons = list;
    }
    void loadBeaconsReturnedError(const std::string& error) override {
        std::lock_guard lock(mutex);
        events.push_back("error " + error);
    }
    LoadBeacons::Completion completion() {
        return [this](unsigned long result) {
            std::lock_guard lock(mutex);
            events.push_back("completion " + std::to_string(result));
        };
    }
    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<std::shared_ptr<Beacon>> beacons;
};

TEST(BeaconReplyGrammarTest, RecordsAndRuleData) {
    RegionListParser<Beacon> parser("beacon");
    ASSERT_TRUE(parser.parse(
        "<beacons><beacon><regionId>b1</regionId><uuid>E2C56DB5-DFFB-48D2-B060-D0F5A71096E0</uuid>"
        "<major>1</major><minor>2</minor><type>BEACON</type><activated>true</activated>"
        "<rulesString><type>WIFI_BEACON</type></rulesString></beacon>"
        "<beacon><regionId>w1</regionId><type>WIFI_BEACON</type><rules><rule>x</rule><rule><name>n</name></rule>"
        "</rules><name>after</name><geoFence><regionId>not a list element here</regionId></geoFence></beacon>"
        "</beacons>"));
    const auto& list = parser.records();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->regionId(), "b1");
    EXPECT_EQ(list[0]->type(), "BEACON");
    EXPECT_EQ(list[0]->major(), "1");
    EXPECT_TRUE(list[0]->activated());
    EXPECT_EQ(list[1]->type(), "WIFI_BEACON");
    EXPECT_EQ(list[1]->name(), "after");
    EXPECT_EQ(list[1]->regionId(), "not a list element here");
    EXPECT_FALSE(list[1]->uuid().has_value());  // a beacon starts with no values
}

class LoadBeaconsTest : public ::testing::Test {
protected:
    LoadBeaconsTest() : platform(test::makeTestPlatform(dir)), recorder(std::make_shared<Recorder>()) {
        ws = WorkspaceRecord::create(platform);
        ws->setClientId("abc");
        ws->setPublicKey("ws-key");
    }
    std::vector<std::string> fetch() {
        recorder->events.clear();
        auto loader = LoadBeacons::create(platform, ClientCredentials{"Demo", "client-1", "private-key"});
        loader->setDelegate(recorder);
        loader->getUpdatedBeaconsFromWorkspace(ws, recorder->completion());
        EXPECT_TRUE(platform->dispatcher->waitIdle(10s));
        std::lock_guard lock(recorder->mutex);
        return recorder->events;
    }
    FakeHttpClient& http() { return test::fakeHttp(*platform); }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<WorkspaceRecord> ws;
};

const std::string kPrefix = serviceBaseUrl() + "/getBeacons/";

TEST_F(LoadBeaconsTest, RequestSuccessAndFailures) {
    http().answer(kPrefix, FakeHttpClient::reply("<l><beacon><regionId>b</regionId></beacon><beacon/></l>"));
    EXPECT_EQ(fetch(), (std::vector<std::string>{"success 2", "completion 0"}));
    const std::string path = "Demo/abc/1700000000000";
    EXPECT_EQ(http().requests().at(0), kPrefix + path + "/" + *RequestSigner::sign(path, "ws-key"));
    auto& log = test::capturingLog(*platform);
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: getBeaconsURL: " + http().requests()[0]));
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: Beacons: completed successfully"));

    for (const auto& answer : {FakeHttpClient::reply(""), FakeHttpClient::reply("<l><beacon>"),
                               FakeHttpClient::failure("Connection refused")}) {
        http().answer(kPrefix, answer);
        const auto events = fetch();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].rfind("error Beacons Error: ", 0), 0u) << events[0];
        EXPECT_EQ(events[1], "completion 2");
    }
}

}  // namespace
}  // namespace quorvela
