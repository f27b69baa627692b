// The faults the admin can put on an operation, as a client sees them over
// HTTPS: a malformed body and an error page are finished transfers, a dropped
// connection is a transport error. The server goes on serving after each.
#include <gtest/gtest.h>

#include "SandboxFixture.h"
#include "sandbox/EndpointFaults.h"
#include "sandbox/SandboxState.h"

namespace quorvela::sandbox::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kKey = "probe-key";
constexpr const char* kGoodReply = "<probe><successful>true</successful></probe>";

class EndpointFaultsTest : public SandboxFixture {
protected:
    void SetUp() override {
        SandboxFixture::SetUp();
        RestOperation probe;
        probe.key = [](const RestCall&, SandboxState&) { return std::optional<std::string>(kKey); };
        probe.handle = [](const RestCall&, SandboxState&) { return RestReply{200, kGoodReply}; };
        sandbox.addOperation("probe", EndpointFaults::withFaults("probe", probe));
    }

    HttpResult callProbe() { return get(restUrl("probe", "a/1", "a/1", kKey)); }
};

TEST_F(EndpointFaultsTest, EachFaultReachesTheClientAsDescribed) {
    struct Case {
        std::optional<std::string> fault;
        bool transferOk;
        long status;
        std::string bodyStart;
    };
    const std::vector<Case> cases{
        {std::nullopt, true, 200, kGoodReply},
        {"malformed", true, 200, "<?xml version=\"1.0\"?><messages><message><id>1</id><subj"},
        {"html", true, 500, "<!DOCTYPE html>"},
        {"drop", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fault.value_or("none"));
        EndpointFaults(sandbox.state()).set("probe", c.fault);
        const HttpResult result = callProbe();
        EXPECT_EQ(result.ok, c.transferOk) << result.error;
        if (c.transferOk) {
            EXPECT_EQ(result.status, c.status);
            EXPECT_EQ(result.body.rfind(c.bodyStart, 0), 0u) << result.body;
        } else {
            // Neither a finished body nor the cap: the connection broke off.
            EXPECT_FALSE(result.error.empty());
            EXPECT_EQ(result.error.find("exceeds"), std::string::npos) << result.error;
        }
        // The server serves the next request as usual.
        EndpointFaults(sandbox.state()).set("probe", std::nullopt);
        const HttpResult after = callProbe();
        EXPECT_TRUE(after.ok) << after.error;
        EXPECT_EQ(after.body, kGoodReply);
    }
}

TEST_F(EndpointFaultsTest, DroppedRepliesAreRecordedAndLeaveOtherClientsAlone) {
    EndpointFaults(sandbox.state()).set("probe", std::string("drop"));
    sandbox.clearRecords();
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(callProbe().ok);
    const auto requests = sandbox.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) {
        EXPECT_EQ(request.operation, "probe");
        EXPECT_EQ(request.signatureOk, std::optional<bool>(true));
    }
    // A second client on a connection of its own is not affected.
    const HttpResult events =
        CurlHttpClient(sandbox.httpOptions(), dispatcher).getBlocking(serviceUrl("/events/?eventtype=X"), 10s);
    EXPECT_TRUE(events.ok) << events.error;
    EXPECT_EQ(events.status, 200);
}

}  // namespace
}  // namespace quorvela::sandbox::test
