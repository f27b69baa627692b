// The sandbox's workspace endpoints over HTTPS (lists, join, leave) and the
// admin routes that mark the default workspace, refuse joins and leaves and
// read the subscriptions.
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "SandboxFixture.h"
#include "sandbox/WorkspaceEndpoints.h"
#include "sandbox/WorkspaceTable.h"
#include "support/SandboxAdminClient.h"

namespace quorvela::sandbox::test {
namespace {

using nlohmann::json;

std::string result(bool successful, const std::string& message) {
    return "<transactionResult><successful>" + std::string(successful ? "true" : "false") + "</successful><message>" +
           message + "</message></transactionResult>";
}

std::string entry(const std::string& id, const std::string& name, const std::string& key, bool subscribed) {
    return "<workspace><clientId>" + id + "</clientId><name>" + name + "</name><publicKey>" + key +
           "</publicKey><subscribed>" + (subscribed ? "true" : "false") + "</subscribed></workspace>";
}

class WorkspaceEndpointsTest : public SandboxFixture {
protected:
    void SetUp() override {
        SandboxFixture::SetUp();
        admin = quorvela::test::sandboxAdminClient(sandbox);
        WorkspaceTable table(sandbox.state());
        table.put({kPublicId, "Main", kPrivateKey, std::nullopt});
        table.put({"ws-cafe", "Café Club", "key-cafe", std::nullopt});
        table.put({"ws-shop", "Shop", "key-shop", std::string("https://cb.example")});
    }
    HttpResult list(const std::string& query) {
        const std::string path = std::string("Demo App/IOS/") + query + "/" + kPublicId + "/1";
        return get(restUrl("getWorkspaces", encoded(path), path, kPrivateKey));
    }
    HttpResult member(const std::string& operation, const std::string& user, const std::string& clientId,
                      const std::string& key) {
        const std::string path = "Demo App/IOS/" + user + "/" + clientId + "/1";
        return get(restUrl(operation, encoded(path), path, key));
    }
    static std::string encoded(std::string path) {
        for (std::size_t i = 0; (i = path.find(' ', i)) != std::string::npos;) path.replace(i, 1, "%20");
        return path;
    }
    int put(const std::string& target, const std::string& body) {
        auto response = admin->Put(target.c_str(), body, "application/json");
        return response ? response->status : 0;
    }
    json getJson(const std::string& target) {
        auto response = admin->Get(target.c_str());
        return response ? json::parse(response->body) : json(nullptr);
    }
    std::unique_ptr<httplib::Client> admin;
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
    ASSERT_EQ(put(std::string("/applications/") + kPublicId + "/defaultWorkspace", R"({"clientId":"pub-1"})"), 200);

    auto all = list("userid=alice");
    ASSERT_TRUE(all.ok) << all.error;
    EXPECT_EQ(all.body, "<workspaces>" + entry(kPublicId, "Main", kPrivateKey, false) +
                            entry("ws-cafe", "Café Club", "key-cafe", false) +
                            "<workspace><clientId>ws-shop</clientId><name>Shop</name><publicKey>key-shop</publicKey>"
                            "<callbackUrl>https://cb.example</callbackUrl><subscribed>false</subscribed></workspace>"
                            "</workspaces>");
    // "caf" (Y2Fm) matches the café club only, case aside.
    EXPECT_EQ(list("userid=alice&name=Y2Fm").body,
              "<workspaces>" + entry("ws-cafe", "Café Club", "key-cafe", false) + "</workspaces>");
    // The default workspace is reported, not joined.
    EXPECT_EQ(list("subscribed=true&userid=alice").body,
              "<workspaces>" + entry(kPublicId, "Main", kPrivateKey, false) + "</workspaces>");

    EXPECT_EQ(member("joinWorkspace", "alice", "ws-shop", "key-shop").body, result(true, "Workspace joined"));
    EXPECT_EQ(member("joinWorkspace", "alice", kPublicId, kPrivateKey).body, result(true, "Workspace joined"));
    EXPECT_EQ(member("joinWorkspace", "bob", "ws-cafe", "key-cafe").body, result(true, "Workspace joined"));
    // Signed with another key than the workspace's: refused before the handler.
    EXPECT_EQ(member("joinWorkspace", "alice", "ws-cafe", kPrivateKey).status, 403);

    EXPECT_EQ(list("subscribed=true&userid=alice").body,
              "<workspaces>" + entry(kPublicId, "Main", kPrivateKey, true) +
                  "<workspace><clientId>ws-shop</clientId><name>Shop</name><publicKey>key-shop</publicKey>"
                  "<callbackUrl>https://cb.example</callbackUrl><subscribed>true</subscribed></workspace>"
                  "</workspaces>");
    EXPECT_EQ(getJson("/subscriptions"), json::parse(R"([
        {"appName":"Demo App","userId":"alice","clientId":"ws-shop"},
        {"appName":"Demo App","userId":"alice","clientId":"pub-1"},
        {"appName":"Demo App","userId":"bob","clientId":"ws-cafe"}])"));

    EXPECT_EQ(member("detachWorkspace", "alice", "ws-shop", "key-shop").body, result(true, "Workspace detached"));
    EXPECT_EQ(member("detachWorkspace", "alice", "ws-shop", "key-shop").body, result(false, "Not subscribed"));
    EXPECT_EQ(getJson("/subscriptions").size(), 2u);
}

TEST_F(WorkspaceEndpointsTest, AdminRefusesJoinsAndLeaves) {
    ASSERT_EQ(put("/workspace-behaviour", R"({"refuseJoin":["ws-cafe"]})"), 200);
    EXPECT_EQ(member("joinWorkspace", "alice", "ws-cafe", "key-cafe").body, result(false, "Join refused"));
    EXPECT_EQ(member("joinWorkspace", "alice", "ws-shop", "key-shop").body, result(true, "Workspace joined"));
    ASSERT_EQ(put("/workspace-behaviour", R"({"refuseLeave":["*"]})"), 200);
    EXPECT_EQ(member("detachWorkspace", "alice", "ws-shop", "key-shop").body, result(false, "Leave refused"));
    EXPECT_EQ(getJson("/workspace-behaviour"), json::parse(R"({"refuseJoin":["ws-cafe"],"refuseLeave":["*"]})"));
    EXPECT_EQ(getJson("/subscriptions").size(), 1u);

    EXPECT_EQ(put("/workspace-behaviour", R"({"refuseJoin":"all"})"), 400);
    EXPECT_EQ(put("/workspace-behaviour", R"({"other":[]})"), 400);
    EXPECT_EQ(put("/applications/nobody/defaultWorkspace", R"({"clientId":"ws-cafe"})"), 400);
    EXPECT_EQ(put(std::string("/applications/") + kPublicId + "/defaultWorkspace", R"({"clientId":"ws-none"})"), 400);
}

TEST_F(WorkspaceEndpointsTest, BadListPathsAreRefused) {
    EXPECT_EQ(list("user=alice").status, 400);
    EXPECT_EQ(list("userid=alice&name=***").status, 400);
}

}  // namespace
}  // namespace quorvela::sandbox::test
