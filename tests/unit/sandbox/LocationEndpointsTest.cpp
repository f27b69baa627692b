// sendLocation and notifyRegionEvent in the sandbox: signature with the
// workspace's key, validation, storage, the admin API's view of the reports,
// and the library's LocationDataLoader talking to it over HTTPS.
#include <mutex>

#include "SandboxFixture.h"
#include "model/WorkspaceRecord.h"
#include "protocol/LocationDataLoader.h"
#include "sandbox/LocationStore.h"
#include "sandbox/SandboxState.h"
#include "sandbox/WorkspaceTable.h"
#include "support/CompletionResults.h"
#include "support/TestPlatform.h"

namespace quorvela::sandbox::test {
namespace {

using namespace std::chrono_literals;

class LocationEndpointsTest : public SandboxFixture {
protected:
    std::vector<LocationReport> reports() { return LocationStore(sandbox.state().database()).reports(); }
};

TEST_F(LocationEndpointsTest, StoresValidReports) {
    auto sent = call("sendLocation", "req 1/dev-1/1700000000500/10.480600/-66.903603/APP/pub-1/1700000000500.000000");
    ASSERT_TRUE(sent.ok);
    EXPECT_EQ(sent.status, 200);
    EXPECT_EQ(sent.body,
              "<locationResult><successful>true</successful><message>Location received</message></locationResult>");
    auto event = call("notifyRegionEvent",
                      "gf 7/dev-1/EXIT/42/-33.500000/151.250000/GEOFENCE/Demo App/IOS/pub-1/42.000000");
    ASSERT_TRUE(event.ok);
    EXPECT_EQ(event.status, 200);

    json stored = adminJson("/locations");
    for (json& report : stored) report.erase("time");  // the sandbox's clock
    EXPECT_EQ(stored, json::parse(R"([
        {"operation":"sendLocation","deviceId":"dev-1","clientId":"pub-1","timeStamp":"1700000000500",
         "latitude":"10.480600","longitude":"-66.903603","requestId":"req 1",
         "region":null,"status":null,"regionType":null,"appName":null,"platform":null},
        {"operation":"notifyRegionEvent","deviceId":"dev-1","clientId":"pub-1","timeStamp":"42",
         "latitude":"-33.500000","longitude":"151.250000","requestId":null,
         "region":"gf 7","status":"EXIT","regionType":"GEOFENCE","appName":"Demo App","platform":"IOS"}])"));
    ASSERT_TRUE(admin().Delete("/locations"));
    EXPECT_TRUE(reports().empty());
}

TEST_F(LocationEndpointsTest, RefusesBadReports) {
    struct Case {
        const char* operation;
        const char* path;
        int status;
    } cases[] = {
        {"sendLocation", "r/dev/1/10.0/APP/pub-1/1.000000", 400},        // 7 values
        {"sendLocation", "r/dev/1/10.0/20.0/IOS/pub-1/1.000000", 400},   // not APP
        {"sendLocation", "r/dev/x1/10.0/20.0/APP/pub-1/1.000000", 400},  // time stamp
        {"sendLocation", "r/dev/1/91.0/20.0/APP/pub-1/1.000000", 400},   // latitude
        {"sendLocation", "r/dev/1/10.0/nan/APP/pub-1/1.000000", 400},    // longitude
        {"notifyRegionEvent", "g/dev/INSIDE/1/1.0/1.0/GEOFENCE/a/IOS/pub-1/1.000000", 400},
        {"notifyRegionEvent", "g/h/dev/ENTER/1/1.0/1.0/GEOFENCE/a/IOS/pub-1/1.000000", 400},  // a "/" in the region
        {"sendLocation", "r/dev/1/10.0/20.0/APP/nobody/1.000000", 403},                       // unknown client
    };
    for (const auto& c : cases) {
        auto result = call(c.operation, c.path);
        ASSERT_TRUE(result.ok) << c.path;
        EXPECT_EQ(result.status, c.status) << c.path;
    }
    auto forged = call("sendLocation", "r/dev/1/10.0/20.0/APP/pub-1/1.000000", "other-key");
    EXPECT_EQ(forged.status, 403);
    EXPECT_TRUE(reports().empty());
}

TEST_F(LocationEndpointsTest, BehaviourModes) {
    const std::string path = "r/dev/1/10.0/20.0/APP/pub-1/1.000000";
    ASSERT_EQ(adminPut("/locations/behaviour", R"({"mode":"reject"})"), 200);
    auto refused = call("sendLocation", path);
    EXPECT_NE(refused.body.find("<successful>false</successful>"), std::string::npos);
    ASSERT_EQ(adminPut("/locations/behaviour", R"({"mode":"malformed"})"), 200);
    EXPECT_EQ(call("sendLocation", path).status, 500);
    EXPECT_EQ(adminPut("/locations/behaviour", R"({"mode":"sometimes"})"), 400);
    EXPECT_EQ(adminJson("/locations/behaviour")["mode"], "malformed");
    EXPECT_EQ(reports().size(), 1u);  // the refused one is kept, the malformed answer stored nothing
}

class Outcomes : public LocationDelegate {
public:
    void LocationCallSuccess(bool, const std::optional<std::string>& message) override {
        std::lock_guard lock(mutex);
        lines.push_back("success " + message.value_or("<none>"));
    }
    void LocationCallReturnedError(const std::optional<std::string>& message) override {
        std::lock_guard lock(mutex);
        lines.push_back("error " + message.value_or("<none>"));
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

TEST_F(LocationEndpointsTest, LoaderReportsToTheSandbox) {
    auto platform = quorvela::test::makeTestPlatform(dir);
    platform->http = std::make_shared<CurlHttpClient>(sandbox.httpOptions(), platform->dispatcher);
    platform->keyValueStore->set("deviceUniqueID", Value(std::string("dev-9")));
    auto workspace = WorkspaceRecord::create(platform);
    workspace->setClientId(std::string(kPublicId));
    workspace->setPublicKey(std::string(kPrivateKey));
    ClientCredentials credentials;
    credentials.appName = std::string(kAppName);

    auto outcomes = std::make_shared<Outcomes>();
    quorvela::test::Results results;
    auto first = LocationDataLoader::create(platform, credentials);
    first->setDelegate(outcomes);
    first->sendLocation(std::string("msg-1"), 10.4806f, -66.9036f, workspace, results.handler());
    ASSERT_TRUE(platform->dispatcher->waitIdle(20s));
    auto second = LocationDataLoader::create(platform, credentials);
    second->setDelegate(outcomes);
    second->fireEventInRegion(std::string("beacon 1"), std::string("BEACON"), std::string("ENTER"), -1.25f, 2.5f,
                              workspace, results.handler());
    ASSERT_TRUE(platform->dispatcher->waitIdle(20s));

    EXPECT_EQ(results.values(), (std::vector<unsigned long>{0, 0}));
    EXPECT_EQ(outcomes->lines,
              (std::vector<std::string>{"success Location received", "success Region event received"}));
    auto stored = reports();
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].deviceId, "dev-9");
    EXPECT_EQ(stored[0].latitude, "10.480600");
    EXPECT_EQ(stored[1].region, std::optional<std::string>("beacon 1"));
    EXPECT_EQ(stored[1].latitude, "-1.250000");
    EXPECT_EQ(stored[1].appName, std::optional<std::string>("Demo App"));
}

TEST_F(LocationEndpointsTest, SeededWorkspacesSignWithTheirOwnKey) {
    WorkspaceTable(sandbox.state()).put(SandboxWorkspace{"ws-9", "Stores", "ws-key", std::nullopt});
    const std::string path = "gf 1/dev-1/ENTER/42/1.000000/2.000000/GEOFENCE/Demo App/IOS/ws-9/42.000000";
    EXPECT_EQ(call("notifyRegionEvent", path, "ws-key").status, 200);
    EXPECT_EQ(call("notifyRegionEvent", path, kPrivateKey).status, 403)
        << "the application's key is not the workspace's";
    EXPECT_EQ(call("sendLocation", "r/dev-1/42/1.000000/2.000000/APP/unknown/42.000000", "ws-key").status, 403);
    ASSERT_EQ(reports().size(), 1u);
    EXPECT_EQ(reports()[0].clientId, "ws-9");
}

}  // namespace
}  // namespace quorvela::sandbox::test
