// The admin API over plain HTTP: seeding applications and reading back what
// clients sent, as JSON; bad input gets 400 and changes nothing.
#include "SandboxFixture.h"

namespace quorvela::sandbox::test {
namespace {

using AdminApiTest = SandboxFixture;

TEST_F(AdminApiTest, ApplicationsRoundTrip) {
    EXPECT_EQ(adminPost("/applications",
                        R"({"appName":"Second","publicId":"pub-2","privateKey":"k2","defaultWorkspace":"ws-9"})"),
              201);

    const json expected = json::parse(R"([
        {"appName":"Demo App","publicId":"pub-1","privateKey":"secret-key-1","defaultWorkspace":null},
        {"appName":"Second","publicId":"pub-2","privateKey":"k2","defaultWorkspace":"ws-9"}])");
    EXPECT_EQ(adminJson("/applications"), expected);
}

TEST_F(AdminApiTest, BadApplicationsAreRefused) {
    const std::vector<std::string> bodies{
        "not json",
        "[1,2]",
        R"({"appName":"A","publicId":"p"})",
        R"({"appName":"A","publicId":"","privateKey":"k"})",
        R"({"appName":"A","publicId":"p","privateKey":7})",
        R"({"appName":"A","publicId":"p","privateKey":"k","defaultWorkspace":5})",
    };
    for (const std::string& body : bodies) {
        auto response = admin().Post("/applications", body, "application/json");
        ASSERT_TRUE(response) << body;
        EXPECT_EQ(response->status, 400) << body;
        EXPECT_TRUE(json::parse(response->body).contains("error")) << body;
    }
    EXPECT_EQ(sandbox.applications().size(), 1u);
}

TEST_F(AdminApiTest, EventsAndRequestsAsJson) {
    ASSERT_EQ(get(serviceUrl("/events/?deviceid=D&eventtype=A%20B&version=3.6.0")).status, 200);
    ASSERT_EQ(get(Sandbox::baseUrl() + "/nothing/x/" + std::string(64, '0')).status, 404);

    const json events = adminJson("/events");
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]["query"], json::parse(R"([["deviceid","D"],["eventtype","A B"],["version","3.6.0"]])"));
    EXPECT_TRUE(events[0]["time"].is_number_integer());

    const json requests = adminJson("/requests");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0]["operation"], "events");
    EXPECT_EQ(requests[0]["status"], 200);
    EXPECT_TRUE(requests[0]["signatureOk"].is_null());
    EXPECT_EQ(requests[1]["operation"], "nothing");
    EXPECT_EQ(requests[1]["status"], 404);
    EXPECT_EQ(requests[1]["path"], "/quorvela-staging/rest/message/nothing/x/" + std::string(64, '0'));

    auto cleared = admin().Delete("/records");
    ASSERT_TRUE(cleared);
    EXPECT_EQ(cleared->status, 200);
    EXPECT_TRUE(adminJson("/events").empty());
    EXPECT_TRUE(adminJson("/requests").empty());
    EXPECT_EQ(adminJson("/applications").size(), 1u);  // seeded data stays
}

}  // namespace
}  // namespace quorvela::sandbox::test
