// The sandbox's workspace endpoints over HTTPS (lists, join, leave) and the
// admin routes that mark the default workspace, refuse joins and leaves and
// read the subscriptions.
#include "sandbox/WorkspaceEndpoints.h"
#include "SandboxFixture.h"
#include "sandbox/WorkspaceTable.h"

namespace quorvela::sandbox::test {
namespace {

std::string entry(const std::string& id, const std::string& name, const std::string& key, bool subscribed,
                  const std::string& callback = "") {
    return "<workspace><clientId>" + id + "</clientId><name>" + name + "</name><publicKey>" + key + "</publicKey>" +
           (callback.empty() ? "" : "<callbackUrl>" + callback + "</callbackUrl>") + "<subscribed>" +
           (subscribed ? "true" : "false") + "</subscribed></workspace>";
}

class WorkspaceEndpointsTest : public SandboxFixture {
protected:
    void SetUp() override {
        SandboxFixture::SetUp();
        WorkspaceTable table(sandbox.state());
        table.put({kPublicId, "Main", kPrivateKey, std::nullopt});
        table.put({"ws-cafe", "Café Club", "key-cafe", std::nullopt});
        table.put({"ws-shop", "Shop", "key-shop", std::string("https://cb.example")});
    }
    HttpResult list(const std::string& query) {
        return call("getWorkspaces", std::string("Demo App/IOS/") + query + "/" + kPublicId + "/1");
    }
    HttpResult member(const std::string& operation, const std::string& user, const std::string& clientId,
                      const std::string& key) {
        return call(operation, "Demo App/IOS/" + user + "/" + clientId + "/1", key);
    }
};

TEST(WorkspaceListQuery, ParsesTheThreeForms) {
    struct Row {
        std::string text;
        bool valid;
        bool subscribed;
        std::string user;
        std::optional<std::string> name;
    };
    const std::vector<Row> rows{
        {"userid=alice", true, false, "alice", std::nullopt},
        {"userid=a/b&name=Y2Fm", true, false, "a/b", "caf"},
        {"userid=u&name=Pz8/", true, false, "u", "???"},
        {"userid=u&name=", true, false, "u", ""},
        {"subscribed=true&userid=bob&x", true, true, "bob&x", std::nullopt},
        {"name=Y2Fm", false, false, "", std::nullopt},
        {"userid=u&name=Y2F", false, false, "", std::nullopt},
        {"userid=u&name=!!!!", false, false, "", std::nullopt},
        {"", false, false, "", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        auto query = WorkspaceEndpoints::parseListQuery(row.text);
        ASSERT_EQ(query.has_value(), row.valid);
        if (!query) continue;
        EXPECT_EQ(query->subscribed, row.subscribed);
        EXPECT_EQ(query->userId, row.user);
        EXPECT_EQ(query->name, row.name);
    }
}

TEST_F(WorkspaceEndpointsTest, ListsJoinsAndLeaves) {
    ASSERT_EQ(adminPut(std::string("/applications/") + kPublicId + "/defaultWorkspace", R"({"clientId":"pub-1"})"),
              200);

    auto all = list("userid=alice");
    ASSERT_TRUE(all.ok) << all.error;
    EXPECT_EQ(all.body, "<workspaces>" + entry(kPublicId, "Main", kPrivateKey, false) +
                            entry("ws-cafe", "Café Club", "key-cafe", false) +
                            entry("ws-shop", "Shop", "key-shop", false, "https://cb.example") + "</workspaces>");
    EXPECT_EQ(list("user=alice").status, 400);
    EXPECT_EQ(list("userid=alice&name=***").status, 400);
    // "caf" (Y2Fm) matches the café club only, case aside.
    EXPECT_EQ(list("userid=alice&name=Y2Fm").body,
              "<workspaces>" + entry("ws-cafe", "Café Club", "key-cafe", false) + "</workspaces>");
    // The default workspace is reported, not joined.
    EXPECT_EQ(list("subscribed=true&userid=alice").body,
              "<workspaces>" + entry(kPublicId, "Main", kPrivateKey, false) + "</workspaces>");

    EXPECT_EQ(member("joinWorkspace", "alice", "ws-shop", "key-shop").body,
              transactionResult(true, "Workspace joined"));
    EXPECT_EQ(member("joinWorkspace", "alice", kPublicId, kPrivateKey).body,
              transactionResult(true, "Workspace joined"));
    EXPECT_EQ(member("joinWorkspace", "bob", "ws-cafe", "key-cafe").body, transactionResult(true, "Workspace joined"));
    // Signed with another key than the workspace's: refused before the handler.
    EXPECT_EQ(member("joinWorkspace", "alice", "ws-cafe", kPrivateKey).status, 403);

    EXPECT_EQ(list("subscribed=true&userid=alice").body,
              "<workspaces>" + entry(kPublicId, "Main", kPrivateKey, true) +
                  entry("ws-shop", "Shop", "key-shop", true, "https://cb.example") + "</workspaces>");
    EXPECT_EQ(adminJson("/subscriptions"), json::parse(R"([
        {"appName":"Demo App","userId":"alice","clientId":"ws-shop"},
        {"appName":"Demo App","userId":"alice","clientId":"pub-1"},
        {"appName":"Demo App","userId":"bob","clientId":"ws-cafe"}])"));

    EXPECT_EQ(member("detachWorkspace", "alice", "ws-shop", "key-shop").body,
              transactionResult(true, "Workspace detached"));
    EXPECT_EQ(member("detachWorkspace", "alice", "ws-shop", "key-shop").body,
              transactionResult(false, "Not subscribed"));
    EXPECT_EQ(adminJson("/subscriptions").size(), 2u);
}

TEST_F(WorkspaceEndpointsTest, AdminRefusesJoinsAndLeaves) {
    ASSERT_EQ(adminPut("/workspace-behaviour", R"({"refuseJoin":["ws-cafe"]})"), 200);
    EXPECT_EQ(member("joinWorkspace", "alice", "ws-cafe", "key-cafe").body, transactionResult(false, "Join refused"));
    EXPECT_EQ(member("joinWorkspace", "alice", "ws-shop", "key-shop").body,
              transactionResult(true, "Workspace joined"));
    ASSERT_EQ(adminPut("/workspace-behaviour", R"({"refuseLeave":["*"]})"), 200);
    EXPECT_EQ(member("detachWorkspace", "alice", "ws-shop", "key-shop").body,
              transactionResult(false, "Leave refused"));
    EXPECT_EQ(adminJson("/workspace-behaviour"), json::parse(R"({"refuseJoin":["ws-cafe"],"refuseLeave":["*"]})"));
    EXPECT_EQ(adminJson("/subscriptions").size(), 1u);

    EXPECT_EQ(adminPut("/workspace-behaviour", R"({"refuseJoin":"all"})"), 400);
    EXPECT_EQ(adminPut("/workspace-behaviour", R"({"other":[]})"), 400);
    EXPECT_EQ(adminPut("/applications/nobody/defaultWorkspace", R"({"clientId":"ws-cafe"})"), 400);
    EXPECT_EQ(adminPut(std::string("/applications/") + kPublicId + "/defaultWorkspace", R"({"clientId":"ws-none"})"),
              400);
}

}  // namespace
}  // namespace quorvela::sandbox::test
