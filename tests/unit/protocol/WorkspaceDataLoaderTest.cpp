#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "protocol/WorkspaceDataLoader.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;
using Events = std::vector<std::string>;

std::string show(const std::optional<std::string>& text) { return text ? *text : "<null>"; }

class Recorder : public WorkspaceDelegate {
public:
    void availableWorkspacesLoadedSuccessfully(const WorkspaceList& list) override { listed("available", list); }
    void availableWorkspacesLoadedWithErrors(const std::string& error) override { add("available error " + error); }
    void subscribedWorkspacesLoadedSuccessfully(const WorkspaceList& list) override { listed("subscribed", list); }
    void subscribedWorkspacesLoadedWithErrors(const std::string& error) override { add("subscribed error " + error); }
    void workspaceSubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& ws) override {
        single("joined", ws, {});
    }
    void failedToSubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>& ws,
                                    const std::optional<std::string>& error) override {
        single("join failed", ws, " " + show(error));
    }
    void workspaceUnsubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& ws) override {
        single("left", ws, {});
    }
    void failedToUnsubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>& ws,
                                      const std::optional<std::string>& error) override {
        single("leave failed", ws, " " + show(error));
    }
    WorkspaceDataLoader::Completion completion() {
        return [this](unsigned long result) { add("completion " + std::to_string(result)); };
    }

    std::mutex mutex;
    Events events;
    WorkspaceList list;
    std::shared_ptr<WorkspaceRecord> target;

private:
    void add(const std::string& event) {
        std::lock_guard lock(mutex);
        events.push_back(event);
    }
    void listed(const std::string& what, const WorkspaceList& workspaces) {
        std::lock_guard lock(mutex);
        list = workspaces;
        events.push_back(what + " " + std::to_string(workspaces.size()));
    }
    void single(const std::string& what, const std::shared_ptr<WorkspaceRecord>& ws, const std::string& rest) {
        std::lock_guard lock(mutex);
        target = ws;
        events.push_back(what + (ws ? " ws" : " null") + rest);
    }
};

enum class Call { Available, Filtered, Subscribed, Join, Leave };

class WorkspaceDataLoaderTest : public ::testing::Test {
protected:
    WorkspaceDataLoaderTest() : platform(test::makeTestPlatform(dir)), recorder(std::make_shared<Recorder>()) {
        platform->keyValueStore->set("clientUserID", Value(std::string("u1")));
        ws = WorkspaceRecord::create(platform);
        ws->setClientId("abc");
        ws->setPublicKey("ws-key");
    }

    Events run(Call call, const std::optional<std::string>& filter = std::nullopt, bool withCompletion = true,
               ClientCredentials credentials = {"Demo", "client-1", "private-key"}) {
        {
            std::lock_guard lock(recorder->mutex);
            recorder->events.clear();
            recorder->list.clear();
            recorder->target.reset();
        }
        auto loader = WorkspaceDataLoader::create(platform, std::move(credentials));
        loader->setDelegate(recorder);
        auto done = withCompletion ? recorder->completion() : nullptr;
        switch (call) {
        case Call::Available: loader->getAvailableWorkspacesWithCompletionHandler(done); break;
        case Call::Filtered: loader->getAvailableWorkspacesWithFilter(filter, done); break;
        case Call::Subscribed: loader->getSubscribedWorkspacesWithCompletionHander(done); break;
        case Call::Join: loader->subscribeToWorkspace(ws, done); break;
        case Call::Leave: loader->unsubscribeFromWorkspace(ws, done); break;
        }
        loader.reset();  // the request in flight keeps the loader alive
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

TEST_F(WorkspaceDataLoaderTest, RequestLayout) {
    struct Case {
        const char* label;
        Call call;
        std::optional<std::string> filter;
        std::string endpoint;
        std::string rawPath;
        std::string key;
        std::string logPrefix;
    };
    const std::string stamp = "1700000000000";
    const Case cases[] = {
        {"available", Call::Available, std::nullopt, "getWorkspaces", "Demo/IOS/userid=u1/client-1/" + stamp,
         "private-key", "getAvailableWorkspaces: "},
        {"null filter", Call::Filtered, std::nullopt, "getWorkspaces", "Demo/IOS/userid=u1/client-1/" + stamp,
         "private-key", "getAvailableWorkspaces: "},
        {"filter caf", Call::Filtered, "caf", "getWorkspaces", "Demo/IOS/userid=u1&name=Y2Fm/client-1/" + stamp,
         "private-key", "getAvailableWorkspaces: "},
        {"empty filter", Call::Filtered, "", "getWorkspaces", "Demo/IOS/userid=u1&name=/client-1/" + stamp,
         "private-key", "getAvailableWorkspaces: "},
        {"Base64 with / and =", Call::Filtered, "???a", "getWorkspaces",
         "Demo/IOS/userid=u1&name=Pz8/YQ==/client-1/" + stamp, "private-key", "getAvailableWorkspaces: "},
        {"non-ASCII filter", Call::Filtered, "caf\xC3\xA9", "getWorkspaces",
         "Demo/IOS/userid=u1&name=Y2Fmw6k=/client-1/" + stamp, "private-key", "getAvailableWorkspaces: "},
        {"subscribed", Call::Subscribed, std::nullopt, "getWorkspaces",
         "Demo/IOS/subscribed=true&userid=u1/client-1/" + stamp, "private-key", "getSubscribedWorkspaces: "},
        {"join", Call::Join, std::nullopt, "joinWorkspace", "Demo/IOS/u1/abc/" + stamp, "ws-key",
         "subscribeToWorkspaceURL: "},
        {"leave", Call::Leave, std::nullopt, "detachWorkspace", "Demo/IOS/u1/abc/" + stamp, "ws-key",
         "unsubscribeFromWorkspaceURL: "},
    };
    http().answer(serviceBaseUrl(), FakeHttpClient::reply("<reply/>"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const auto before = http().requests().size();
        run(c.call, c.filter);
        const auto requests = http().requests();
        ASSERT_EQ(requests.size(), before + 1);
        const std::string expected = serviceBaseUrl() + "/" + c.endpoint + "/" + c.rawPath + "/" +
                                     *RequestSigner::sign(c.rawPath, c.key);
        EXPECT_EQ(requests.back(), expected);
        EXPECT_TRUE(test::capturingLog(*platform).contains("QUORVELA-DEBUG: " + c.logPrefix + expected));
    }
    EXPECT_TRUE(test::capturingLog(*platform).contains("QUORVELA-DEBUG: Workspace: completed successfully"));
}

TEST_F(WorkspaceDataLoaderTest, MissingUserIsWrittenAsNull) {
    platform->keyValueStore->remove("clientUserID");
    http().answer(serviceBaseUrl(), FakeHttpClient::reply("<reply/>"));
    run(Call::Join);
    const std::string path = "Demo/IOS/(null)/abc/1700000000000";
    ASSERT_EQ(http().requests().size(), 1u);
    EXPECT_EQ(http().requests()[0].find(serviceBaseUrl() + "/joinWorkspace/Demo/IOS/"), 0u);
    EXPECT_NE(http().requests()[0].find(*RequestSigner::sign(path, "ws-key")), std::string::npos);
}

TEST_F(WorkspaceDataLoaderTest, ReplyGrammar) {
    struct Case {
        const char* label;
        Call call;
        std::string xml;
        Events events;
    };
    const Case cases[] = {
        {"available list",
         Call::Available,
         "<workspaces><workspace><clientId>c1</clientId><name>One</name></workspace>"
         "<workspace><clientId>c2</clientId></workspace></workspaces>",
         {"available 2", "completion 0"}},
        {"subscribed list",
         Call::Subscribed,
         "<workspaces><workspace/></workspaces>",
         {"subscribed 1", "completion 0"}},
        {"list without records",
         Call::Available,
         "<workspaces><note>none</note></workspaces>",
         {"available 0", "completion 0"}},
        {"list says unsuccessful",
         Call::Subscribed,
         "<r><successful>false</successful><message>no</message></r>",
         {"subscribed 0", "completion 0"}},
        {"join successful",
         Call::Join,
         "<r><successful>true</successful><message>ok</message></r>",
         {"joined ws", "completion 0"}},
        {"join refused",
         Call::Join,
         "<r><successful>false</successful><message>full</message></r>",
         {"join failed ws full", "completion 0"}},
        {"join without successful", Call::Join, "<r/>", {"join failed ws <null>", "completion 0"}},
        {"successful is case-sensitive",
         Call::Join,
         "<r><successful>TRUE</successful></r>",
         {"join failed ws <null>", "completion 0"}},
        {"join reply with its own record",
         Call::Join,
         "<r><workspace><clientId>other</clientId></workspace><successful>true</successful></r>",
         {"joined null", "completion 0"}},
        {"leave successful", Call::Leave, "<r><successful>true</successful></r>", {"left ws", "completion 0"}},
        {"leave refused",
         Call::Leave,
         "<r><message>busy</message><successful>no</successful></r>",
         {"leave failed ws busy", "completion 0"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        http().answer(serviceBaseUrl(), FakeHttpClient::reply(c.xml));
        EXPECT_EQ(run(c.call), c.events);
    }
    http().answer(serviceBaseUrl(), FakeHttpClient::reply("<r><successful>true</successful></r>"));
    EXPECT_EQ(run(Call::Join, std::nullopt, false), (Events{"joined ws"}));
    EXPECT_EQ(recorder->target, ws) << "the very workspace passed in";
}

TEST_F(WorkspaceDataLoaderTest, ListRecordsReadTheirFields) {
    http().answer(serviceBaseUrl(),
                  FakeHttpClient::reply("<workspaces><workspace><clientId>c1</clientId><name>One</name>"
                                        "<publicKey>k1</publicKey><callbackUrl>https://cb</callbackUrl>"
                                        "<subscribed>true</subscribed><colour>red</colour></workspace>"
                                        "<name>outside</name><workspace><clientId>c2</clientId></workspace>"
                                        "</workspaces>"));
    ASSERT_EQ(run(Call::Available), (Events{"available 2", "completion 0"}));
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
    http().answer(serviceBaseUrl(), FakeHttpClient::reply("<r><name>Renamed</name><subscribed>true</subscribed>"
                                                          "<successful>true</successful></r>"));
    EXPECT_EQ(run(Call::Join), (Events{"joined ws", "completion 0"}));
    EXPECT_EQ(ws->name(), "Renamed");
    EXPECT_TRUE(ws->subscribed());
    EXPECT_EQ(ws->clientId(), "abc");
}

TEST_F(WorkspaceDataLoaderTest, FailuresReachTheErrorPath) {
    struct Op {
        Call call;
        std::string prefix;
    };
    const Op ops[] = {
        {Call::Available, "available error Workspace - List Availible Error: "},
        {Call::Subscribed, "subscribed error Workspace - List Subscribed Error: "},
        {Call::Join, "join failed ws Workspace - Subscribe Error: "},
        {Call::Leave, "leave failed ws Workspace - Unsubscribe Error: "},
    };
    const HttpResult answers[] = {FakeHttpClient::reply(""), FakeHttpClient::reply("<r><successful>true</r>"),
                                  FakeHttpClient::reply("<html><body>Server error<br></body></html>", 500),
                                  FakeHttpClient::failure("Connection refused")};
    for (const auto& op : ops) {
        for (const auto& answer : answers) {
            http().answer(serviceBaseUrl(), answer);
            const auto events = run(op.call);
            ASSERT_EQ(events.size(), 2u);
            EXPECT_EQ(events[0].rfind(op.prefix, 0), 0u) << events[0];
            EXPECT_EQ(events[1], "completion 2");
        }
        SCOPED_TRACE("non-ASCII text is refused before sending");
        const auto sent = http().requests().size();
        const auto events = run(op.call, std::nullopt, true, {"D\xC3\xA9mo", "client-1", "private-key"});
        EXPECT_EQ(http().requests().size(), sent);
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].rfind(op.prefix, 0), 0u) << events[0];
        EXPECT_EQ(events[1], "completion 2");
    }
    http().answer(serviceBaseUrl(), FakeHttpClient::failure("Connection refused"));
    const auto events = run(Call::Leave);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_NE(events[0].find("Connection refused"), std::string::npos) << events[0];
    EXPECT_EQ(run(Call::Available, std::nullopt, false).size(), 1u) << "no completion handler, no crash";
}

TEST_F(WorkspaceDataLoaderTest, MissingKeyIsAnError) {
    ws->setPublicKey(std::nullopt);
    const auto events = run(Call::Join);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].rfind("join failed ws Workspace - Subscribe Error: ", 0), 0u) << events[0];
    EXPECT_EQ(events[1], "completion 2");
    EXPECT_TRUE(http().requests().empty());
}

}  // namespace
}  // namespace quorvela
