#include "protocol/WorkspaceDataLoader.h"
#include "protocol/RequestSigner.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

class WorkspaceDataLoaderTest : public LoaderTest {
protected:
    std::shared_ptr<WorkspaceDataLoader> workspaces() { return loader<WorkspaceDataLoader>(platform, credentials); }
};

TEST_F(WorkspaceDataLoaderTest, FilterTravelsAsBase64InTheUserSegment) {
    // Base64 keeps a non-ASCII filter signable, and its "/" stays in the path.
    const std::pair<std::string, std::string> cases[] = {{"", "userid=u1&name="},
                                                         {"caf\xC3\xA9?", "userid=u1&name=Y2Fmw6k/"}};
    answer(FakeHttpClient::reply("<workspaces/>"));
    for (const auto& [filter_, segment] : cases) {
        SCOPED_TRACE(segment);
        const std::string& filter = filter_;  // clang 14 cannot capture a structured binding in a lambda
        http().clearRequests();
        EXPECT_EQ(run([&] { workspaces()->getAvailableWorkspacesWithFilter(filter, recorder->completion()); }),
                  (Events{"available 0", "completion 0"}));
        const std::string raw = "Demo/IOS/" + segment + "/client-1/" + kStamp;
        EXPECT_EQ(http().requests(), std::vector<std::string>{serviceBaseUrl() + "/getWorkspaces/" + raw + "/" +
                                                              *RequestSigner::sign(raw, "private-key")});
    }
}

TEST_F(WorkspaceDataLoaderTest, ListRecordsReadTheirFields) {
    answer(FakeHttpClient::reply(
        "<workspaces><workspace><clientId>c1</clientId><name>One</name><publicKey>k1</publicKey>"
        "<callbackUrl>https://cb</callbackUrl><subscribed>true</subscribed><colour>red</colour></workspace>"
        "<name>outside</name><workspace><clientId>c2</clientId></workspace></workspaces>"));
    ASSERT_EQ(run([&] { workspaces()->getAvailableWorkspacesWithCompletionHandler(recorder->completion()); }),
              (Events{"available 2", "completion 0"}));
    const auto list = recorder->list;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]->clientId(), "c1");
    EXPECT_EQ(list[0]->name(), "One");
    EXPECT_EQ(list[0]->publicKey(), "k1");
    EXPECT_EQ(list[0]->callbackUrl(), "https://cb");
    EXPECT_TRUE(list[0]->subscribed());
    EXPECT_EQ(list[1]->clientId(), "c2");
    EXPECT_EQ(list[1]->name(), "") << "an element outside a record changes no record";
    EXPECT_FALSE(list[1]->subscribed());
}

TEST_F(WorkspaceDataLoaderTest, JoinReplyFieldsUpdateTheCallersWorkspace) {
    answer(
        FakeHttpClient::reply("<r><name>Renamed</name><subscribed>true</subscribed><successful>true</successful></r>"));
    EXPECT_EQ(run([&] { workspaces()->subscribeToWorkspace(ws, recorder->completion()); }),
              (Events{"joined ws", "completion 0"}));
    EXPECT_EQ(recorder->target, ws);
    EXPECT_EQ(ws->name(), "Renamed");
    EXPECT_TRUE(ws->subscribed());
    EXPECT_EQ(ws->clientId(), "abc");
}

}  // namespace
}  // namespace quorvela::test
