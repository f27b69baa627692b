#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/CheckGeoFences.h"
#include "protocol/RegionListParser.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "quorvela/Geofence.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;

class Recorder : public CheckGeoFencesDelegate {
public:
    void checkGeoFencesSuccess(const std::vector<std::shared_ptr<Geofence>>& list) override {
        std::lock_guard lock(mutex);
        events.push_back("success " + std::to_string(list.size()));
    }
    void checkGeoFencesReturnedError(const std::string& error) override {
        std::lock_guard lock(mutex);
        events.push_back("error " + error);
    }
    CheckGeoFences::Completion completion() {
        return [this](unsigned long result) {
            std::lock_guard lock(mutex);
            events.push_back("completion " + std::to_string(result));
        };
    }
    std::mutex mutex;
    std::vector<std::string> events;
};

std::vector<std::shared_ptr<Geofence>> parse(const std::string& xml) {
    RegionListParser<Geofence> parser("geoFence");
    EXPECT_TRUE(parser.parse(xml)) << xml;
    return parser.records();
}

TEST(GeofenceReplyGrammarTest, RecordsAndRuleData) {
    {
        SCOPED_TRACE("two geofences in document order");
        auto list = parse(
            "<geoFences><geoFence><regionId>r1</regionId><latitude>10.5</latitude><longitude>-66.25</longitude>"
            "<radius>150</radius><eventType>ENTER</eventType></geoFence>"
            "<geoFence><regionId>r2</regionId><latitude>1</latitude><longitude>2</longitude><radius>75.9</radius>"
            "<eventType>EXIT</eventType></geoFence></geoFences>");
        ASSERT_EQ(list.size(), 2u);
        EXPECT_EQ(list[0]->regionId(), "r1");
        EXPECT_EQ(list[0]->latitude(), 10.5);
        EXPECT_EQ(list[0]->longitude(), -66.25);
        EXPECT_EQ(list[0]->radius(), 150.0);
        EXPECT_EQ(list[0]->eventType(), "ENTER");
        EXPECT_EQ(list[1]->regionId(), "r2");
        EXPECT_EQ(list[1]->radius(), 75.0);
    }
    {
        SCOPED_TRACE("rulesString hides elements named like properties");
        auto list = parse(
            "<l><geoFence><name>n</name><rulesString><name>rule</name><regionId>x</regionId>text</rulesString>"
            "</geoFence></l>");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->name(), "n");
        EXPECT_EQ(list[0]->regionId(), "");
    }
    {
        SCOPED_TRACE("a rules block is skipped and the property after it set");
        auto list = parse(
            "<l><geoFence><rules><rule><name>a</name></rule><rule><msgTitle>b</msgTitle></rule></rules>"
            "<msgTitle>after</msgTitle></geoFence></l>");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->msgTitle(), "after");
        EXPECT_EQ(list[0]->name(), "");
    }
    {
        SCOPED_TRACE("creationTime is dropped, unknown names ignored, nesting not looked at");
        auto list = parse(
            "<l><geoFence><creationTime>12345</creationTime><colour>red</colour>"
            "<area><clientId>deep</clientId></area></geoFence></l>");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_FALSE(list[0]->creationTime().has_value());
        EXPECT_EQ(list[0]->clientId(), "deep");
    }
    {
        SCOPED_TRACE("elements outside a list element are ignored; an empty element gives null");
        auto list = parse("<l><regionId>out</regionId><geoFence><name/></geoFence></l>");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->regionId(), "");
        EXPECT_FALSE(list[0]->name().has_value());
    }
    {
        SCOPED_TRACE("indented XML gives texts that begin with white space");
        auto list = parse("<l>\n <geoFence>\n  <regionId>r</regionId>\n </geoFence>\n</l>");
        ASSERT_EQ(list.size(), 1u);
        EXPECT_EQ(list[0]->regionId(), "\n \n  r");
    }
    EXPECT_TRUE(parse("<geoFences/>").empty());
}

class CheckGeoFencesTest : public ::testing::Test {
protected:
    CheckGeoFencesTest() : platform(test::makeTestPlatform(dir)), recorder(std::make_shared<Recorder>()) {
        ws = WorkspaceRecord::create(platform);
        ws->setClientId("abc");
        ws->setPublicKey("ws-key");
    }
    std::vector<std::string> fetch(bool withCompletion = true) {
        recorder->events.clear();
        auto loader = CheckGeoFences::create(platform, ClientCredentials{"Demo", "client-1", "private-key"});
        loader->setDelegate(recorder);
        loader->getUpdatedGeoFencesFromWorkspace(ws, withCompletion ? recorder->completion() : nullptr);
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

const std::string kPrefix = serviceBaseUrl() + "/getGeoFences/";

TEST_F(CheckGeoFencesTest, RequestAndSuccess) {
    http().answer(kPrefix, FakeHttpClient::reply("<l><geoFence><regionId>r</regionId></geoFence></l>"));
    EXPECT_EQ(fetch(), (std::vector<std::string>{"success 1", "completion 0"}));
    const std::string path = "Demo/abc/1700000000000";
    EXPECT_EQ(http().requests().at(0), kPrefix + path + "/" + *RequestSigner::sign(path, "ws-key"));
    auto& log = test::capturingLog(*platform);
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: getGeoFences: " + http().requests()[0]));
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: Geofence: completed successfully"));
    EXPECT_EQ(fetch(false), (std::vector<std::string>{"success 1"}));
}

TEST_F(CheckGeoFencesTest, FailuresReachTheErrorPath) {
    const HttpResult answers[] = {FakeHttpClient::reply(""), FakeHttpClient::reply("<l><geoFence></l>"),
                                  FakeHttpClient::reply("<html><body>Server error<br></body></html>", 500),
                                  FakeHttpClient::failure("Connection refused")};
    for (const auto& answer : answers) {
        http().answer(kPrefix, answer);
        const auto events = fetch();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].rfind("error Geofence Error: ", 0), 0u) << events[0];
        EXPECT_EQ(events[1], "completion 2");
    }
}

TEST_F(CheckGeoFencesTest, WellFormedReplyWithoutListElementIsAnEmptySuccess) {
    http().answer(kPrefix, FakeHttpClient::reply("<geoFences><note>none</note></geoFences>"));
    EXPECT_EQ(fetch(), (std::vector<std::string>{"success 0", "completion 0"}));
}

}  // namespace
}  // namespace quorvela
