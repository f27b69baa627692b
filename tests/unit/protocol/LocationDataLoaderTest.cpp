#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/LocationDataLoader.h"
#include "protocol/PercentEncoding.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;

class Recorder : public LocationDelegate {
public:
    void LocationCallSuccess(bool successful, const std::optional<std::string>& message) override {
        std::lock_guard lock(mutex);
        calls.push_back(std::string("success ") + (successful ? "true " : "false ") + message.value_or("<none>"));
    }
    void LocationCallReturnedError(const std::optional<std::string>& message) override {
        std::lock_guard lock(mutex);
        calls.push_back("error " + message.value_or("<none>"));
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return calls;
    }
    std::mutex mutex;
    std::vector<std::string> calls;
};

class LocationDataLoaderTest : public ::testing::Test {
protected:
    LocationDataLoaderTest() : platform(test::makeTestPlatform(dir)) {
        credentials.appName = "Demo App";
        platform->keyValueStore->set("deviceUniqueID", Value(std::string("dev-1")));
        test::fakeClock(*platform).set(1700000000.5);
        ws = WorkspaceRecord::create(platform);
        ws->setClientId(std::string("client-1"));
        ws->setPublicKey(std::string("ws-key"));
    }

    std::shared_ptr<LocationDataLoader> loader() {
        auto made = LocationDataLoader::create(platform, credentials);
        made->setDelegate(recorder);
        return made;
    }

    // Runs one request whose reply is `result`; returns the completion values.
    std::vector<unsigned long> run(const HttpResult& result, bool regionEvent = false) {
        test::fakeHttp(*platform).answer(serviceBaseUrl(), result);
        std::vector<unsigned long> results;
        std::mutex m;
        auto done = [&](unsigned long value) {
            std::lock_guard lock(m);
            results.push_back(value);
        };
        if (regionEvent) {
            loader()->fireEventInRegion(std::string("r1"), std::string("GEOFENCE"), std::string("ENTER"), 1.0f, 2.0f,
                                        ws, done);
        } else {
            loader()->sendLocation(std::string("req-1"), 10.4806f, -66.9036f, ws, done);
        }
        EXPECT_TRUE(platform->dispatcher->waitIdle(10s));
        std::lock_guard lock(m);
        return results;
    }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    ClientCredentials credentials;
    std::shared_ptr<WorkspaceRecord> ws;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

TEST_F(LocationDataLoaderTest, CoordinatesAreSinglePrecisionWithSixDecimals) {
    struct Case {
        float value;
        const char* text;
    } cases[] = {{10.4806f, "10.480600"}, {-66.9036f, "-66.903603"}, {0.0f, "0.000000"},  {-0.5f, "-0.500000"},
                 {90.0f, "90.000000"},    {-180.0f, "-180.000000"},  {1e-7f, "0.000000"}, {45.123456789f, "45.123455"}};
    for (const auto& c : cases) EXPECT_EQ(LocationDataLoader::coordinate(c.value), c.text) << c.text;
}

TEST_F(LocationDataLoaderTest, SendLocationPathAndUrl) {
    auto made = loader();
    EXPECT_EQ(made->sendLocationPath(std::string("req 1"), 10.4806f, -66.9036f, ws, 1700000000500),
              "req 1/dev-1/1700000000500/10.480600/-66.903603/APP/client-1/1700000000500.000000");

    test::fakeHttp(*platform).answer(serviceBaseUrl(), FakeHttpClient::reply("<r><successful>true</successful></r>"));
    made->sendLocation(std::string("req 1"), 10.4806f, -66.9036f, ws, nullptr);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_EQ(made->operation(), LocationDataLoader::kSendLocation);
    const std::string raw = "req 1/dev-1/1700000000500/10.480600/-66.903603/APP/client-1/1700000000500.000000";
    const auto requests = test::fakeHttp(*platform).requests();
    ASSERT_EQ(requests.size(), 1u);
    // The URL carries the encoded path, the signature covers the raw one.
    EXPECT_EQ(requests[0], serviceBaseUrl() + "/sendLocation/" + PercentEncoding::encodePath(raw) + "/" +
                               *RequestSigner::sign(raw, "ws-key"));
    EXPECT_NE(requests[0].find("req%201"), std::string::npos);
    EXPECT_TRUE(test::capturingLog(*platform).contains("QUORVELA-DEBUG: sendLocation: " + requests[0]));
    EXPECT_TRUE(test::capturingLog(*platform).contains("QUORVELA-DEBUG: Location: completed successfully"));
    EXPECT_EQ(recorder->snapshot(), std::vector<std::string>{"success true <none>"});
}

TEST_F(LocationDataLoaderTest, RegionEventPathWithMissingValues) {
    platform->keyValueStore->remove("deviceUniqueID");
    auto made = loader();
    EXPECT_EQ(made->regionEventPath(std::string("gf 7"), std::string("GEOFENCE"), std::string("EXIT"), -33.5f, 151.25f,
                                    ws, 42),
              "gf 7/(null)/EXIT/42/-33.500000/151.250000/GEOFENCE/Demo App/IOS/client-1/42.000000");
    credentials.appName.reset();
    EXPECT_EQ(LocationDataLoader::create(platform, credentials)
                  ->regionEventPath(std::nullopt, std::string("BEACON"), std::string("ENTER"), 0.0f, 0.0f, nullptr, 1),
              "(null)/(null)/ENTER/1/0.000000/0.000000/BEACON/(null)/IOS/(null)/1.000000");

    test::fakeHttp(*platform).answer(serviceBaseUrl(), FakeHttpClient::reply("<r><successful>true</successful></r>"));
    made->fireEventInRegion(std::string("gf 7"), std::string("GEOFENCE"), std::string("EXIT"), -33.5f, 151.25f, ws,
                            nullptr);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_EQ(made->operation(), LocationDataLoader::kNotifyRegionEvent);
    const auto requests = test::fakeHttp(*platform).requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].rfind(serviceBaseUrl() + "/notifyRegionEvent/gf%207/(null)/EXIT/1700000000500/", 0), 0u)
        << requests[0];
    EXPECT_TRUE(test::capturingLog(*platform).contains("QUORVELA-DEBUG: notifyRegionEvent: " + requests[0]));
}

TEST_F(LocationDataLoaderTest, ReplyGrammar) {
    struct Case {
        const char* body;
        const char* call;
    } cases[] = {
        {"<r><successful>true</successful><message>Saved</message></r>", "success true Saved"},
        {"<successful>true</successful>", "success true <none>"},
        {"<r><successful>false</successful><message>Nope</message></r>", "error Nope"},
        {"<r><successful>TRUE</successful></r>", "error <none>"},
        {"<r><successful> true</successful></r>", "error <none>"},
        // Indentation before an element becomes part of its text.
        {"<r>\n  <successful>true</successful></r>", "error <none>"},
        {"<r><message>only</message></r>", "error only"},
        {"<r><successful>true</successful><successful>no</successful></r>", "error <none>"},
        {"<r><successful>no</successful><successful>true</successful></r>", "success true <none>"},
        {"<r><successful>true</successful><message></message></r>", "success true <none>"},
        {"<r><message>a &amp; b</message><successful>true</successful></r>", "success true a & b"},
    };
    for (const auto& c : cases) {
        recorder->calls.clear();
        EXPECT_EQ(run(FakeHttpClient::reply(c.body)), std::vector<unsigned long>{0}) << c.body;
        EXPECT_EQ(recorder->snapshot(), std::vector<std::string>{c.call}) << c.body;
    }
}

TEST_F(LocationDataLoaderTest, BrokenReplyAndTransportErrors) {
    for (bool regionEvent : {false, true}) {
        const std::string prefix = regionEvent ? "error Location - notifyRegionEvent Error: "
                                               : "error Location - sendLocation Error: ";
        recorder->calls.clear();
        EXPECT_EQ(run(FakeHttpClient::reply("<r><successful>true</successful>"), regionEvent),
                  std::vector<unsigned long>{0});
        auto calls = recorder->snapshot();
        ASSERT_EQ(calls.size(), 1u);  // a failed parse never reaches the end of the document
        EXPECT_EQ(calls[0].rfind(prefix, 0), 0u) << calls[0];

        recorder->calls.clear();
        EXPECT_EQ(run(FakeHttpClient::failure("Could not connect to server"), regionEvent),
                  std::vector<unsigned long>{2});
        calls = recorder->snapshot();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].rfind(prefix + "Could not connect to server", 0), 0u) << calls[0];
    }
}

TEST_F(LocationDataLoaderTest, NoSigningKeyFailsWithoutSending) {
    ws->setPublicKey(std::nullopt);
    EXPECT_EQ(run(FakeHttpClient::reply("<successful>true</successful>")), std::vector<unsigned long>{2});
    EXPECT_EQ(test::fakeHttp(*platform).requestCount(), 0u);
    auto calls = recorder->snapshot();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].rfind("error Location - sendLocation Error: ", 0), 0u);
}

TEST_F(LocationDataLoaderTest, OutcomeWithoutCompletionOrDelegate) {
    test::fakeHttp(*platform).answer(serviceBaseUrl(), FakeHttpClient::reply("<successful>true</successful>"));
    auto made = loader();
    made->sendLocation(std::string("x"), 1.0f, 1.0f, ws, nullptr);
    auto silent = LocationDataLoader::create(platform, credentials);
    silent->sendLocation(std::string("y"), 1.0f, 1.0f, ws, nullptr);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_EQ(recorder->snapshot(), std::vector<std::string>{"success true <none>"});
    EXPECT_TRUE(silent->successful());
}

}  // namespace
}  // namespace quorvela
