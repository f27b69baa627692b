#include "protocol/WorkspaceDataLoader.h"
#include "protocol/RequestSigner.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

enum class Call { Available, Subscribed, Join, Leave };

class WorkspaceDataLoaderTest : public LoaderTest {
protected:
    Events runCall(Call call, FetchCompletion done) {
        return run([&] {
            auto made = loader<WorkspaceDataLoader>(platform, credentials);
            switch (call) {
            case Call::Available: made->getAvailableWorkspacesWithCompletionHandler(done); break;
            case Call::Subscribed: made->getSubscribedWorkspacesWithCompletionHander(done); break;
            case Call::Join: made->subscribeToWorkspace(ws, done); break;
            case Call::Leave: made->unsubscribeFromWorkspace(ws, done); break;
            }
        });
    }
    Events runCall(Call call) { return runCall(call, recorder->completion()); }
};

TEST_F(WorkspaceDataLoaderTest, FilterTravelsAsBase64InTheUserSegment) {
    struct Case {
        std::optional<std::string> filter;
        std::string segment;
    };
    const Case cases[] = {
        {std::nullopt, "userid=u1"},
        {"caf", "userid=u1&name=Y2Fm"},
        {"", "userid=u1&name="},
        {"???a", "userid=u1&name=Pz8/YQ=="},
        {"caf\xC3\xA9", "userid=u1&name=Y2Fmw6k="},
    };
    answer(FakeHttpClient::reply("<workspaces/>"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.segment);
        http().clearRequests();
        EXPECT_EQ(run([&] {
                      loader<WorkspaceDataLoader>(platform, credentials)
                          ->getAvailableWorkspacesWithFilter(c.filter, recorder->completion());
                  }),
                  (Events{"available 0", "completion 0"}));
        const std::string raw = "Demo/IOS/" + c.segment + "/client-1/" + kStamp;
        EXPECT_EQ(http().requests(), std::vector<std::string>{serviceBaseUrl() + "/getWorkspaces/" + raw + "/" +
                                                              *RequestSigner::sign(raw, "private-key")});
    }
}

TEST_F(WorkspaceDataLoaderTest, ResultNamesTheVeryWorkspacePassedIn) {
    answer(FakeHttpClient::reply("<r><successful>true</successful></r>"));
    EXPECT_EQ(runCall(Call::Leave), (Events{"left ws", "completion 0"}));
    EXPECT_EQ(recorder->target, ws);
}

TEST_F(WorkspaceDataLoaderTest, ListRecordsReadTheirFields) {
    answer(FakeHttpClient::reply(
        "<workspaces><workspace><clientId>c1</clientId><name>One</name><publicKey>k1</publicKey>"
        "<callbackUrl>https://cb</callbackUrl><subscribed>true</subscribed><colour>red</colour></workspace>"
        "<name>outside</name><workspace><clientId>c2</clientId></workspace></workspaces>"));
    ASSERT_EQ(runCall(Call::Available), (Events{"available 2", "completion 0"}));
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
    EXPECT_EQ(runCall(Call::Join), (Events{"joined ws", "completion 0"}));
    EXPECT_EQ(ws->name(), "Renamed");
    EXPECT_TRUE(ws->subscribed());
    EXPECT_EQ(ws->clientId(), "abc");
}

}  // namespace
}  // namespace quorvela::test
